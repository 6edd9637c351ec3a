#include "shell/ScreenHost.h"

#include "extraction/frmNewProSelExpert.h"

void RegisterExtractionScreens(ScreenRegistry &registry)
{
    registry.add(QStringLiteral("frmNewProSelExpert"), [](AppState &state, ScreenNavigator &nav, QWidget *parent) {
        return new frmNewProSelExpert(state, nav, parent);
    });
}
