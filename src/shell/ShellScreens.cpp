#include "shell/ScreenHost.h"

void RegisterShellScreens(ScreenRegistry &registry)
{
    Q_UNUSED(registry);
}
