// Turning the screen to landscape at run time, as the device does when its
// orientation changes: a display mode with width and height swapped.
#pragma once

#include <windows.h>

// Switches to the display mode whose size is the current one turned; when no
// such mode exists, to the landscape mode of the same depth nearest to it.
// Does nothing when the screen is already wider than high. Returns the
// ChangeDisplaySettingsExW result (DISP_CHANGE_SUCCESSFUL on success), or
// DISP_CHANGE_BADMODE when there is no landscape mode.
LONG TurnToLandscape();

// Gives the screen back the mode it had before TurnToLandscape, if it turned.
void RestoreScreenMode();
