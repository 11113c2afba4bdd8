// Installed-software discovery: free functions that turn registry entries and the software-centre list into
// installed-software records, and the path helpers they share.
#pragma once

#include <string>

// The folder of KxInstUI.dll, else of KxVinst.dll, else of the host executable; no trailing backslash. Cached
// for the process once found.
std::wstring GetHostFolder();
// GetHostFolder() + "\conf\soft.ini".
std::wstring GetSoftIniPath();
