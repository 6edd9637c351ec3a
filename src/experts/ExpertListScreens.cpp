#include "shell/ScreenHost.h"

void RegisterExpertListScreens(ScreenRegistry &registry)
{
    Q_UNUSED(registry);
}
