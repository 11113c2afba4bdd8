#include "RecycleBin.h"

#include <windows.h>
#include <shlwapi.h>

#include "ScopedHandle.h"
#include "PathText.h"
#include "WinText.h"

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {0};
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n && n < 1024 ? value : L"";
}

std::string ReadSmallFile(const std::wstring& path) {
    kx::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes(8192, '\0');
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) return "";
    bytes.resize(read);
    return bytes;
}

// The Path= line of a .trashinfo file, decoded.
std::wstring TrashedPath(const std::wstring& infoFile) {
    const std::string text = ReadSmallFile(infoFile);
    size_t at = text.find("\nPath=");
    if (at == std::string::npos) return L"";
    at += 6;
    size_t end = text.find_first_of("\r\n", at);
    return FromUtf8(UrlDecode(text.substr(at, end == std::string::npos ? std::string::npos : end - at)));
}

}  // namespace

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool RecycleBin::Snapshot() {
    std::wstring data = Env(L"XDG_DATA_HOME");
    if (data.empty() && !Env(L"HOME").empty()) data = Env(L"HOME") + L"/.local/share";
    m_strInfo = RunningUnderWine() && !data.empty() ? WindowsPathOfLinux(data + L"/Trash/info") : L"";
    m_setBefore = Names();
    return !m_strInfo.empty();
}

std::set<std::wstring> RecycleBin::Names() const {
    std::set<std::wstring> names;
    if (m_strInfo.empty()) return names;
    WIN32_FIND_DATAW fd;
    kx::unique_hfind find(FindFirstFileW((m_strInfo + L"\\*.trashinfo").c_str(), &fd));
    if (!find) return names;
    do {
        names.insert(fd.cFileName);
    } while (FindNextFileW(find.get(), &fd));
    return names;
}

std::vector<std::wstring> RecycleBin::Added() const {
    std::vector<std::wstring> added;
    for (const std::wstring& name : Names()) {
        if (m_setBefore.count(name)) continue;
        std::wstring path = WindowsPathOfLinux(TrashedPath(m_strInfo + L"\\" + name));
        if (!path.empty()) added.push_back(path);
    }
    return added;
}

bool RecycleBin::Holds(const std::vector<std::wstring>& added, const std::wstring& path) {
    const std::wstring wanted = kx::TrimSlashesKeepRoot(path);
    for (const std::wstring& listed : added) {
        const std::wstring item = kx::TrimSlashesKeepRoot(listed);
        if (item.size() > wanted.size()) continue;
        if (_wcsnicmp(item.c_str(), wanted.c_str(), item.size()) != 0) continue;
        if (item.size() == wanted.size() || wanted[item.size()] == L'\\') return true;
    }
    return false;
}
