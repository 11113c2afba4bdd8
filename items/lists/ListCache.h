// The list cache file: a 12-byte header (rule-data version, list type, payload length, each u32) and the
// items' serialized forms back to back. Read at start so the host sees the list before discovery has run
// again; a file that does not fit is deleted and costs only the rebuild.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "SoftLists.h"

class CSerializer;
class CSoftItem;

// Writes the header and payload to pszFile (created anew); E_FAIL when the file cannot be created, with the
// standard-output line "open binary file failed! error code:%d".
HRESULT WriteListFile(const wchar_t* pszFile, UINT nType, UINT nVersion, const CSerializer& payload);
// Reads pszFile and, when its version and type match, hands the payload to load (nonzero: loaded). A file
// that cannot be read or loaded is deleted; the result is then E_FAIL.
HRESULT ReadListFile(const wchar_t* pszFile, UINT nType, UINT nVersion, const std::function<int(CSerializer&)>& load);

// The soft list as payload, and back. Reading appends to the list; a damaged item is kept with what it read
// and reading stops there. Both return 1.
int WriteSoftList(const std::vector<CSoftItem*>& vecSoft, CSerializer& writer);
int ReadSoftList(std::vector<CSoftItem*>& vecSoft, CSerializer& reader);

// The cache file of list nType: in strCacheDir when it is not empty, else in the fixed folder below the
// user's application data; named "KxUninstall_<type>".
std::wstring CacheFilePath(const std::wstring& strCacheDir, UINT nType);

// The second step of the cache load: drops the items whose registry key no longer has a display name, gives
// the rest their ids from the data component (when there is one) and counts them by category. The caller
// holds m_csList. Returns whether any item is left.
bool ReviewCachedList(SoftLists& lists, IKxDataMgr* pDataMgr);
