#pragma once

#include <QtGlobal>

// The busy pointer for the length of a scope, however the scope is left.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();

private:
    Q_DISABLE_COPY_MOVE(BusyCursor)
};
