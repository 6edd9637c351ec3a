#include "experts/frmExpertList.h"
#include "experts/frmSearchExpert.h"
#include "shell/ScreenHost.h"

void RegisterExpertListScreens(ScreenRegistry &registry)
{
    registry.add(QStringLiteral("frmExpertList"), [](AppState &state, ScreenNavigator &nav, QWidget *parent) {
        return new frmExpertList(state, nav, parent);
    });
    registry.add(QStringLiteral("frmSearchExpert"), [](AppState &state, ScreenNavigator &nav, QWidget *parent) {
        return new frmSearchExpert(state, nav, parent);
    });
}
