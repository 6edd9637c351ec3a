#include "extraction/frmExpertHistory.h"
#include "extraction/frmNewPro.h"
#include "shell/ScreenHost.h"

void RegisterDrawResultScreens(ScreenRegistry &registry)
{
    registry.add(QStringLiteral("frmNewPro"), [](AppState &state, ScreenNavigator &nav, QWidget *parent) {
        return new frmNewPro(state, nav, parent);
    });
    registry.add(QStringLiteral("frmExpertHistory"), [](AppState &state, ScreenNavigator &nav, QWidget *parent) {
        return new frmExpertHistory(state, nav, parent);
    });
}
