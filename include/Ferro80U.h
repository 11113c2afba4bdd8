// Ferro80U.DLL: pinyin matching of Chinese names. Importers link its import library, so the DLL is bound at
// load time by the function's decorated name and must sit beside the importing module.
#pragma once

#ifdef FERRO80U_BUILD
#define FERRO80U_API __declspec(dllexport)
#else
#define FERRO80U_API __declspec(dllimport)
#endif

namespace FERRO {

// Sets *pbMatch to 1 when pszInput spells a run of consecutive characters of pszText, each Chinese character
// by a leading part of one of its readings (its initial, more letters, or all of it; tones ignored, u-umlaut
// typed as v), each letter or digit by itself; otherwise to 0. The run may start at any character. Case and
// blanks in pszInput do not matter; an input of more than 63 characters matches nothing. Neither text is
// changed. Returns 0, or E_POINTER for a NULL argument.
FERRO80U_API long MatchByPY(wchar_t* pszText, wchar_t* pszInput, int* pbMatch);

}  // namespace FERRO
