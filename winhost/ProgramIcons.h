// The programs' own icons for the list, loaded once per icon location into an image list of the list's size.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "ScopedHandle.h"
#include "SoftItem.h"

struct ImageListDestroyFn { void operator()(HIMAGELIST h) const { ImageList_Destroy(h); } };
using unique_himagelist = kx::unique_any<HIMAGELIST, nullptr, ImageListDestroyFn>;

class ProgramIcons {
public:
    // A fresh image list of square icons of this many pixels; image 0 is the generic program icon.
    void Reset(int nPixels);
    HIMAGELIST List() const { return m_hList.get(); }
    // The image of the program: from its Icon (a file with an icon index, an .ico, an executable), else the
    // generic one.
    int IndexFor(const CSoftItem& item);

private:
    kx::unique_hicon LoadFrom(const std::wstring& location) const;

    unique_himagelist m_hList;
    int m_nPixels = 16;
    std::map<std::wstring, int> m_mapIndex;
};
