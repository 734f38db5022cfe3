// Test main for the Windows tests: the item's code is linked into the test
// program, so its idle-priority sampler is bridged through the program's own
// imports before any test runs.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "thread_priority_bridge.h"

int main(int argc, char** argv) {
    // Unbuffered, so a program that dies mid-test still shows how far it got.
    setvbuf(stdout, nullptr, _IONBF, 0);
    setvbuf(stderr, nullptr, _IONBF, 0);
    BridgeThreadPriorities(GetModuleHandleW(nullptr));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
