#include "shell/DrawWorkspace.h"

void DrawWorkspace::StartNewDraw()
{
    DrawList.clear();
    DrawRecord.clear();
}
