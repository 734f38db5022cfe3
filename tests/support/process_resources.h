// What the process holds, for the endurance runs and the unload test: GDI
// objects, kernel handles and private bytes, each by the best means this
// platform offers.
#pragma once

#include <string>

struct ResourceCounts {
    long gdiObjects; // -1: not countable here
    long handles;    // -1: not countable here
    double privateBytes;
};

// Checks the counting methods once (creates and frees a few objects and
// expects to see them) and says in `methods` how each figure is taken.
bool ProbeResourceMethods(std::string& methods);
ResourceCounts CountResources();
