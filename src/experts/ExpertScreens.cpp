#include "shell/ScreenHost.h"

void RegisterExpertScreens(ScreenRegistry &registry)
{
    Q_UNUSED(registry);
}
