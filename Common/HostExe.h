// The host executable's folder: where KxData.dll, the Log folder and the diagnostic configuration live.
#pragma once

#include <string>

// The executable's full path up to and including its last backslash; empty when it cannot be read.
std::wstring GetHostExeFolder();
