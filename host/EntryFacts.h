// What a program's uninstall entry in the registry says beyond its record: the host reads it when it shows the
// program; the records stay as the component made them.
#pragma once

#include <string>

struct EntryFacts {
    std::wstring publisher;         // Publisher
    std::wstring version;           // DisplayVersion
    std::wstring uninstallCommand;  // UninstallString
};

// keyText: root name ("HKEY_LOCAL_MACHINE" ...), backslash, key path, as the records' Key holds it. Empty
// fields when the key or a value is missing (a software-centre program has no key).
EntryFacts ReadEntryFacts(const std::wstring& keyText);

// The key names a key with a non-empty DisplayName (the test the component's cache load makes).
bool KeyTextHasDisplayName(const std::wstring& keyText);
