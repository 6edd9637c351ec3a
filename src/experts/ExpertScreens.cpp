#include "experts/frmExpertListDis.h"
#include "experts/frmExpertListUpd.h"
#include "experts/frmNewExpert.h"
#include "shell/ScreenHost.h"

void RegisterExpertScreens(ScreenRegistry &registry)
{
    registry.add(QStringLiteral("frmNewExpert"),
                 [](AppState &s, ScreenNavigator &n, QWidget *p) { return new frmNewExpert(s, n, p); });
    registry.add(QStringLiteral("frmExpertListUpd"),
                 [](AppState &s, ScreenNavigator &n, QWidget *p) { return new frmExpertListUpd(s, n, p); });
    registry.add(QStringLiteral("frmExpertListDis"),
                 [](AppState &s, ScreenNavigator &n, QWidget *p) { return new frmExpertListDis(s, n, p); });
}
