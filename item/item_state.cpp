// Storage of the item window's process-wide values.
#include "item_state.h"

HINSTANCE ModuleInstance = nullptr;
std::atomic<HWND> ItemWindowHandle{nullptr};
HFONT ItemFont = nullptr;
int HeightChanged = 0;
