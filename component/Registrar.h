// Applies and removes the component's registry scripts, a small line-oriented text form:
//
//   # comment
//   key   <root>\<path> [keep] [fresh] [= "default value"]
//   value <root>\<path> <name> = "data"
//
// Roots: HKCR, HKCU, HKLM, HKU (or their long names). Values are strings. keep: the key is never removed on
// unregistration (it is shared with others). fresh: the key is deleted with everything below it and written
// anew on every registration. Tokens may be quoted with "..." to hold blanks. %NAME% is replaced from the
// caller's list, %% gives a percent sign; an unknown name fails the whole script before anything is written.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace kx {

using RegReplacements = std::vector<std::pair<std::wstring, std::wstring>>;

// Registers (bRegister true) or unregisters the script. Returns S_OK or the first failure; a script that does
// not parse returns HRESULT_FROM_WIN32(ERROR_BAD_FORMAT) without touching the registry. Unregistering what is
// not there is not a failure.
HRESULT ApplyRegistryScript(const std::wstring& strScript, const RegReplacements& vars, bool bRegister);

// The same for the REGISTRY resource nId of hModule (UTF-8 text); a missing resource gives the last error.
HRESULT ApplyRegistryResource(HMODULE hModule, UINT nId, const RegReplacements& vars, bool bRegister);

}  // namespace kx
