#pragma once

#include "data/Outcome.h"

#include <QDateTime>

struct AppState;

// The draw list that waits to be stored, kept in the data folder's run area
// while it changes, so that a run that ends without storing or dropping it
// (a crash, a kill, a power cut) does not lose it.

// Brings the kept copy up to date with the draw: written while an unsaved
// draw list has rows, removed otherwise. A failure says why; the draw on
// screen is not touched.
Outcome KeepUnsavedDraw(const AppState &state);

// What became of a draw left by an earlier run.
enum class KeptDrawOutcome {
    None,        // nothing was kept for this user (or the library could not be read: kept for next time)
    Restored,    // 是: it is the draw on the result screen again
    Discarded,   // 否: dropped, on record as a dropped draw
    Outdated,    // stored or dropped after it was kept: nothing to restore
    Refused,     // damaged, of another library, or not what the draw trail recorded: set aside
};

// At start, once the tables are loaded: offers the draw the last run left
// (是 restores it, 否 drops it); a file that cannot be believed is refused
// with a message and set aside. The restored draw is the same draw: its
// rounds, candidate lists, seeds and trail session, numbered on after the
// trail's last event. Each user is offered only their own draw.
KeptDrawOutcome OfferKeptDraw(AppState &state);
