// GUIDs as text: "{12345678-90AB-CDEF-1234-567890ABCDEF}", upper case, with or without the braces.
#pragma once

#include <windows.h>

#include <string>

namespace kx {

std::wstring GuidText(REFGUID guid, bool bBraces = true);

}  // namespace kx
