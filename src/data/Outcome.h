#pragma once

// Outcome is the void case of the one result type.
#include "data/Result.h"
