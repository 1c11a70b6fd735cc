#pragma once

#include "components_global.h"

// The wait cursor while a busy section runs, restored however it ends (sections nest: every
// set is paired with a restore).
class COMPONENTS_EXPORT BusyCursor
{
public:
    BusyCursor() { set(); }
    ~BusyCursor() { restore(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    // For code that pairs them itself across calls.
    static void set();
    static void restore();
};
