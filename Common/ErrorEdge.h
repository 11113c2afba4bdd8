// Where exceptions stop. No exception leaves an interface method, a DLL export, a window procedure, a thread
// procedure or an entry point of the data component; each edge turns the exception in flight into its result:
//
// | Edge                                                    | Logged (level 0)         | Result                      |
// |---------------------------------------------------------|--------------------------|-----------------------------|
// | IKxListMgr accessors GetItemByIndex, GetItemById,       | "!!Exception code:[%d]"  | the UNINST_ERR_ENUM code    |
// |   GetSize: a thrown code                                |                          |   itself                    |
// |   the same, an allocation failure                       | "!!Exception code:[%d]"  | 4 (serialization failed)    |
// |   the same, anything else                               | "!!Exception code:[%d]"  | E_UNEXPECTED                |
// | every other interface method of the component, its     | "!!!New Failed"          | E_OUTOFMEMORY               |
// |   class factory and its DLL exports: allocation failure |                          |                             |
// |   the same, anything else                               | "!!Unexpected exception" | E_UNEXPECTED                |
// | DumpToDisk, LoadFromDisk (cache file)                   | as the line above        | E_FAIL (a failed load also  |
// |                                                         |                          |   deletes the file)         |
// | the message window's procedure                          | as the line above        | 0 (the message is handled)  |
// | the worker thread, for each task                        | as the line above, then  | the task ends; the worker   |
// |                                                         |   "!!Task failed:[%d]"   |   goes on with the next one |
// | the DLL entry point (process attach)                    | nothing                  | FALSE                       |
// | the data component's methods and exports                | nothing (it has no log)  | E_OUTOFMEMORY / E_UNEXPECTED|
//
// The lines are logged under the name of the function at the edge.
#pragma once

#include <windows.h>

#include <new>

namespace kx {

// The result of the exception in flight; call only inside a catch block. Logs nothing.
inline HRESULT ResultOfCurrentException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Logs the exception in flight as the table says and returns its result; call only inside a catch block.
// pszFunction is a qualified name or __PRETTY_FUNCTION__.
HRESULT LogCurrentException(const char* pszFunction) noexcept;

// The accessors' form: the thrown UNINST_ERR_ENUM code, 4 for an allocation failure, else E_UNEXPECTED; logs
// "!!Exception code:[%d]".
HRESULT AccessorResultOfCurrentException(const char* pszFunction) noexcept;

// Test seam: when set, every edge calls it first with its function name; a test makes it throw there. Nothing
// in the product sets it.
using FaultSeam = void (*)(const char* pszFunction);
extern FaultSeam g_pfnFaultSeam;
inline void FaultPoint(const char* pszFunction) {
    if (g_pfnFaultSeam) g_pfnFaultSeam(pszFunction);
}

}  // namespace kx

// try { ... } KX_CATCH_RETURN() at the end of an HRESULT edge.
#define KX_CATCH_RETURN() \
    catch (...) {         \
        return ::kx::LogCurrentException(__PRETTY_FUNCTION__); \
    }
// The same with a fixed result (logs, then returns hr).
#define KX_CATCH_RETURN_AS(hr) \
    catch (...) {              \
        ::kx::LogCurrentException(__PRETTY_FUNCTION__); \
        return (hr);           \
    }
