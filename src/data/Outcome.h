#pragma once

#include <QString>

// What an operation that changes the data file did, for the user to read:
// success or failure, and the message saying so.
struct MaintenanceOutcome {
    bool ok = false;
    QString message;   // what to tell the user, success or failure
};
