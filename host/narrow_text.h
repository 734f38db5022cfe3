// Narrow form of a wide text (paths, captions, registry strings) for the
// host's log and for the tests that match it; anything outside ASCII shows as '?'.
#pragma once

#include <string>

inline std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) {
        narrow += c < 128 ? static_cast<char>(c) : '?';
    }
    return narrow;
}
