// The programs' own icons for the list, loaded once per icon location into an image list of the list's size.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "SoftItem.h"

class ProgramIcons {
public:
    ProgramIcons() = default;
    ~ProgramIcons();
    ProgramIcons(const ProgramIcons&) = delete;
    ProgramIcons& operator=(const ProgramIcons&) = delete;

    // A fresh image list of square icons of this many pixels; image 0 is the generic program icon.
    void Reset(int nPixels);
    HIMAGELIST List() const { return m_hList; }
    // The image of the program: from its Icon (a file with an icon index, an .ico, an executable), else the
    // generic one.
    int IndexFor(const CSoftItem& item);

private:
    HICON LoadFrom(const std::wstring& location) const;

    HIMAGELIST m_hList = nullptr;
    int m_nPixels = 16;
    std::map<std::wstring, int> m_mapIndex;
};
