#include "KxUnConfig.h"

#include "HostExe.h"

std::wstring KxUnConfigPath() { return GetHostExeFolder() + L"Log//KxUnConfig.ini"; }

UINT KxUnConfigInt(const wchar_t* pszSection, const wchar_t* pszKey) {
    return GetPrivateProfileIntW(pszSection, pszKey, 0, KxUnConfigPath().c_str());
}
