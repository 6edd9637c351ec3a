#include "shell/ScreenHost.h"
#include "shell/frmDisMsg.h"

void RegisterShellScreens(ScreenRegistry &registry)
{
    registry.add(QStringLiteral("frmDisMsg"), [](AppState &s, ScreenNavigator &n, QWidget *p) {
        return new frmDisMsg(s, n, p);
    });
}
