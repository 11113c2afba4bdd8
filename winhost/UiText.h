// The window's texts come from the executable's string tables, Chinese or English, chosen once at start from the
// user's UI language (or --lang). Strings are looked up in the chosen language explicitly, so the choice does not
// depend on how the system resolves a neutral resource request.
#pragma once

#include <windows.h>

#include <string>

enum class UiLanguage { Chinese, English };

// Chinese for a Chinese UI language, English for any other; forced "zh" or "en" wins.
UiLanguage ChooseUiLanguage(LANGID userUiLanguage, const std::wstring& forced);
LANGID UiLanguageId(UiLanguage language);

// Sets the language of every later UiString, and the thread's UI language and locale, so that pieces loading
// strings the ordinary way (LoadStringW) follow the same choice.
void SetUiLanguage(UiLanguage language);
UiLanguage CurrentUiLanguage();

// String id of the module's table in the chosen language, else in English; empty when neither has it.
std::wstring UiString(UINT id);
std::wstring UiStringIn(HMODULE module, UINT id, LANGID language);
// The string as a format (kx::Format's conversions: %s is wide).
std::wstring UiFormat(UINT id, ...);

// A menu text as a button shows it: without its accelerator ("\tF5") and its mnemonic ("&U", or "(&U)" after a
// Chinese text).
std::wstring ButtonText(const std::wstring& menuText);
