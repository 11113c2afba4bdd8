#include "GuidText.h"

#include <objbase.h>

namespace kx {

std::wstring GuidText(REFGUID guid, bool bBraces) {
    wchar_t sz[40] = {};
    if (StringFromGUID2(guid, sz, 40) == 0) return std::wstring();
    std::wstring text = sz;
    return bBraces ? text : text.substr(1, text.size() - 2);
}

}  // namespace kx
