// What the Recycle Bin received. Under Wine it is the freedesktop trash of the Unix user
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash): each deleted item is moved to files/ and described by an
// info/NAME.trashinfo whose Path= line holds its URL-encoded Unix path.
#pragma once

#include <set>
#include <string>
#include <vector>

class RecycleBin {
public:
    // Notes the items in the bin now; false when there is no bin this host can read (not under Wine).
    bool Snapshot();
    // The Windows paths of the items added since Snapshot.
    std::vector<std::wstring> Added() const;
    // Whether path (or a folder holding it) was among them, ignoring case.
    static bool Holds(const std::vector<std::wstring>& added, const std::wstring& path);
    // The bin's info folder as a Windows path (empty when there is none).
    const std::wstring& InfoFolder() const { return m_strInfo; }

private:
    std::set<std::wstring> Names() const;

    std::wstring m_strInfo;
    std::set<std::wstring> m_setBefore;
};

// "a%20b%E4%B8%AD" -> the UTF-8 bytes decoded.
std::string UrlDecode(const std::string& text);
