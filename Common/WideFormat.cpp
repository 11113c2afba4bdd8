#include "WideFormat.h"

#include <cstdio>
#include <cwchar>
#include <vector>

namespace kx {

std::wstring FormatV(const wchar_t* format, va_list args) {
    va_list probe;
    va_copy(probe, args);
    int needed = _vscwprintf(format, probe);
    va_end(probe);
    if (needed <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1);
    va_list copy;
    va_copy(copy, args);
    _vsnwprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    buffer.back() = L'\0';
    return std::wstring(buffer.data(), static_cast<size_t>(needed));
}

std::wstring Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring s = FormatV(format, args);
    va_end(args);
    return s;
}

size_t FormatInto(wchar_t* buffer, size_t room, const wchar_t* format, va_list args) {
    if (room == 0) return 0;
    // The runtime returns -1 and leaves the text unterminated when it is cut at room characters.
    int n = _vsnwprintf(buffer, room - 1, format, args);
    size_t written = (n < 0 || static_cast<size_t>(n) > room - 1) ? room - 1 : static_cast<size_t>(n);
    buffer[written] = L'\0';
    return written;
}

}  // namespace kx
