#pragma once

#include "shell/MDIFrm.h"

#include <memory>

// Every window of the screen area, each under its form.
ScreenRegistry AllScreens();

// The main window with its screens, its menu dialogs and the exit step that
// stores an unsaved draw.
std::unique_ptr<MDIFrm> MakeMainWindow(AppState &state, ScreenRegistry registry = AllScreens());
