// Lower case as the system's string tables give it (CharLowerBuff), so that non-ASCII letters compare alike; the
// leftover scanner, its guard and the hosts that show its findings all lower their texts this one way.
#pragma once

#include <windows.h>

#include <string>

namespace kx {

inline std::wstring Lower(std::wstring s) {
    if (!s.empty()) CharLowerBuffW(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

}  // namespace kx
