#include "admin/frmDataInOut.h"
#include "shell/ScreenHost.h"

void RegisterAdminScreens(ScreenRegistry &registry)
{
    registry.add(QStringLiteral("frmDataInOut"), [](AppState &state, ScreenNavigator &nav, QWidget *parent) {
        return new frmDataInOut(state, nav, parent);
    });
}
