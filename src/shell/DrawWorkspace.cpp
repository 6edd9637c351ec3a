#include "shell/DrawWorkspace.h"

void DrawWorkspace::StartNewDraw()
{
    const DrawSession carry = DrawRecord.isStored() ? PendingTrail : DrawRecord;
    DrawList.clear();
    DrawRecord.clear();
    PendingTrail.clear();
    DrawRecord.trailId = carry.trailId;
    DrawRecord.trailEvents = carry.trailEvents;
}
