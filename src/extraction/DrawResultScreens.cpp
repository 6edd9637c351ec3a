#include "shell/ScreenHost.h"

void RegisterDrawResultScreens(ScreenRegistry &registry)
{
    Q_UNUSED(registry);
}
