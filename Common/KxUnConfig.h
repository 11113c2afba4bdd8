// The diagnostic configuration "Log//KxUnConfig.ini" below the host executable's folder. Read at every use,
// so a switch can be turned on while the component runs.
#pragma once

#include <windows.h>
#include <string>

std::wstring KxUnConfigPath();

// GetPrivateProfileIntW of the key, default 0.
UINT KxUnConfigInt(const wchar_t* pszSection, const wchar_t* pszKey);

// [Dump] Inside, UnRule, UnSoft, Dust.
inline bool IsDumpOn(const wchar_t* pszKey) { return KxUnConfigInt(L"Dump", pszKey) != 0; }
