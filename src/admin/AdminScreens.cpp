#include "shell/ScreenHost.h"

void RegisterAdminScreens(ScreenRegistry &registry)
{
    Q_UNUSED(registry);
}
