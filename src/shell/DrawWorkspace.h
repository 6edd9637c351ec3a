#pragma once

#include "data/DrawRecord.h"
#include "data/TextTable.h"

// The draw in progress: the candidates of the last criteria, the experts
// drawn so far and the rounds behind them.
struct DrawWorkspace {
    TextTable CandidateList;
    TextTable DrawList;   // Id, Name, Sex, birth_date, Company_name, cong_shi_zhuanye, zige_name, Mobile
    // The rounds behind DrawList and the project it is stored under.
    DrawSession DrawRecord;
    // Who is kept out of every draw until the rules are cleared.
    AvoidanceRules Avoidance;
    bool DrawUnsaved = false;
    // Where draws made after a store and before the next draw list begins
    // are recorded: they belong to the list to come, not the one stored.
    DrawSession PendingTrail;

    // The session whose trail the next event goes to.
    DrawSession &Trail() { return DrawRecord.isStored() && !DrawUnsaved ? PendingTrail : DrawRecord; }

    // A new draw list begins: the list and the rounds behind it are emptied;
    // the draws recorded while it was being made stay with it.
    void StartNewDraw();
};
