// The steps of the host's command line, carried out one after another on the
// host's step timer, which also fires while an item runs a modal dialog.
#pragma once

#include <windows.h>

#include <vector>

#include "host_options.h"

enum class StepsState { Running, Done, Failed };

// Takes the steps to carry out for host; lines logged from now on count for
// the first step's wait.
void StartSteps(HWND host, const std::vector<HostStep>& steps);

// Carries out steps until one has to wait for its state, a step fails (the
// log names it) or none is left.
StepsState RunSteps();

// Logs the step that is not done yet, if any; true when there was one.
bool LogPendingStep();

// Turns the screen to landscape and logs the outcome; false when it failed.
bool TurnScreen();
