#include "ProgramIcons.h"

#include "IconLocation.h"

void ProgramIcons::Reset(int nPixels) {
    m_mapIndex.clear();
    m_nPixels = nPixels;
    m_hList.reset(ImageList_Create(nPixels, nPixels, ILC_COLOR32 | ILC_MASK, 16, 16));
    kx::unique_hicon generic;
    // The shell's icon of an application without one of its own; the system's when the shell has none.
    wchar_t shell32[MAX_PATH];
    if (GetSystemDirectoryW(shell32, MAX_PATH)) {
        std::wstring path = std::wstring(shell32) + L"\\shell32.dll";
        PrivateExtractIconsW(path.c_str(), 2, nPixels, nPixels, generic.put(), nullptr, 1, 0);
    }
    if (generic) {
        ImageList_AddIcon(m_hList.get(), generic.get());
        return;
    }
    // The system's shared icon belongs to the system.
    ImageList_AddIcon(m_hList.get(), static_cast<HICON>(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, nPixels,
                                                                    nPixels, LR_SHARED)));
}

kx::unique_hicon ProgramIcons::LoadFrom(const std::wstring& location) const {
    IconLocation loc = ParseIconLocation(location);
    if (loc.path.empty()) return {};
    wchar_t expanded[MAX_PATH];
    DWORD n = ExpandEnvironmentStringsW(loc.path.c_str(), expanded, MAX_PATH);
    const std::wstring path = n && n <= MAX_PATH ? expanded : loc.path;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    kx::unique_hicon icon;
    UINT got = PrivateExtractIconsW(path.c_str(), loc.index, m_nPixels, m_nPixels, icon.put(), nullptr, 1, 0);
    if (got == 0 || got == 0xFFFFFFFF) return {};
    return icon;
}

int ProgramIcons::IndexFor(const CSoftItem& item) {
    if (!m_hList || item.Icon.empty()) return 0;
    auto found = m_mapIndex.find(item.Icon);
    if (found != m_mapIndex.end()) return found->second;
    int index = 0;
    if (kx::unique_hicon icon = LoadFrom(item.Icon)) {
        int added = ImageList_AddIcon(m_hList.get(), icon.get());
        if (added >= 0) index = added;
    }
    m_mapIndex[item.Icon] = index;
    return index;
}
