// Landscape switch through the display modes that the platform lists. Wine's
// virtual desktop offers a fixed set of sizes besides its own, among them the
// turned sizes of the usual device screens (320x240, 640x480).
#include "screen_orientation.h"

#include <cstdlib>

namespace {

bool Turned = false;

} // namespace

LONG TurnToLandscape() {
    DEVMODEW current{};
    current.dmSize = sizeof(current);
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current)) {
        return DISP_CHANGE_FAILED;
    }
    if (current.dmPelsWidth > current.dmPelsHeight) {
        return DISP_CHANGE_SUCCESSFUL;
    }
    const long wantWidth = static_cast<long>(current.dmPelsHeight);
    const long wantHeight = static_cast<long>(current.dmPelsWidth);
    DEVMODEW best{};
    long bestDistance = -1;
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    for (DWORD index = 0; EnumDisplaySettingsW(nullptr, index, &mode); ++index) {
        if (mode.dmPelsWidth <= mode.dmPelsHeight || mode.dmBitsPerPel != current.dmBitsPerPel) {
            continue;
        }
        const long distance = std::labs(static_cast<long>(mode.dmPelsWidth) - wantWidth) +
                              std::labs(static_cast<long>(mode.dmPelsHeight) - wantHeight);
        if (bestDistance < 0 || distance < bestDistance) {
            best = mode;
            bestDistance = distance;
        }
    }
    if (bestDistance < 0) {
        return DISP_CHANGE_BADMODE;
    }
    best.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    const LONG result = ChangeDisplaySettingsExW(nullptr, &best, nullptr, 0, nullptr);
    if (result == DISP_CHANGE_SUCCESSFUL) {
        Turned = true;
    }
    return result;
}

void RestoreScreenMode() {
    if (Turned) {
        ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
        Turned = false;
    }
}
