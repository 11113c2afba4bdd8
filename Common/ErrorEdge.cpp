#define KX_LOG_SOURCE ".\\KxUninst"
#include "ErrorEdge.h"

#include <string>

#include "KxLog.h"
#include "KxUninstIf.h"

namespace kx {

FaultSeam g_pfnFaultSeam = nullptr;

namespace {

// The name as the log writes it; the pretty form is cut without allocating when it cannot be shortened.
void LogAs(const char* pszFunction, int nLevel, const wchar_t* pszFormat, int nValue) noexcept {
    try {
        std::string name = KxQualifiedName(pszFunction);
        KXLOG_AS(nLevel, name.c_str(), pszFormat, nValue);
    } catch (...) {
        KXLOG_AS(nLevel, pszFunction, pszFormat, nValue);
    }
}

}  // namespace

HRESULT LogCurrentException(const char* pszFunction) noexcept {
    HRESULT hr = ResultOfCurrentException();
    if (hr == E_OUTOFMEMORY)
        LogAs(pszFunction, 0, L"!!!New Failed", 0);
    else
        LogAs(pszFunction, 0, L"!!Unexpected exception", 0);
    return hr;
}

HRESULT AccessorResultOfCurrentException(const char* pszFunction) noexcept {
    HRESULT hr = E_UNEXPECTED;
    try {
        throw;
    } catch (UNINST_ERR_ENUM nCode) {
        hr = static_cast<HRESULT>(nCode);
    } catch (const std::bad_alloc&) {
        hr = UNINST_ERR_SERIALIZE;
    } catch (...) {
    }
    LogAs(pszFunction, 0, L"!!Exception code:[%d]", static_cast<int>(hr));
    return hr;
}

}  // namespace kx
