#include "shell/ScreenHost.h"

void RegisterExtractionScreens(ScreenRegistry &registry)
{
    Q_UNUSED(registry);
}
