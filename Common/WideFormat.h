// printf-style formatting of wide strings with the Windows runtime's meaning of the conversions: %s is a wide
// string in a wide format, %I64d a 64-bit number. (The C99 wide printf of mingw reads %s as narrow.)
#pragma once

#include <cstdarg>
#include <string>

namespace kx {

std::wstring FormatV(const wchar_t* format, va_list args);
std::wstring Format(const wchar_t* format, ...);

// Formats into [buffer, buffer + room) and returns the characters written. A result that does not fit keeps
// its start; the buffer is always terminated when room > 0.
size_t FormatInto(wchar_t* buffer, size_t room, const wchar_t* format, va_list args);

}  // namespace kx
