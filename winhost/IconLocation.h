// An icon location as uninstall entries give it: a path, optionally quoted, optionally followed by a comma and
// an icon index (a negative index names a resource id).
#pragma once

#include <string>

struct IconLocation {
    std::wstring path;
    int index = 0;
};

// "C:\a\b.exe,-101" gives {C:\a\b.exe, -101}; "\"C:\a b\c.exe\",2" gives {C:\a b\c.exe, 2}; a comma that is not
// followed by a number belongs to the path. Blanks around the parts are dropped.
IconLocation ParseIconLocation(const std::wstring& text);
