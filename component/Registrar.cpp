#include "Registrar.h"

#include <cwctype>

#include "RegKey.h"
#include "ScopedHandle.h"

namespace kx {
namespace {

struct RegLine {
    bool bValue = false;  // a "value" line, else a "key" line
    HKEY hRoot = nullptr;
    std::wstring strPath;
    std::wstring strName;  // value lines
    bool bHasData = false;
    std::wstring strData;
    bool bKeep = false;
    bool bFresh = false;
};

const HRESULT kBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);

bool Tokenize(const std::wstring& line, std::vector<std::wstring>& tokens) {
    size_t i = 0;
    while (i < line.size()) {
        if (iswspace(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == L'"') {
            size_t end = line.find(L'"', i + 1);
            if (end == std::wstring::npos) return false;
            tokens.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        size_t start = i;
        while (i < line.size() && !iswspace(line[i]) && line[i] != L'"') ++i;
        tokens.push_back(line.substr(start, i - start));
    }
    return true;
}

bool Substitute(const std::wstring& in, const RegReplacements& vars, std::wstring& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != L'%') {
            out += in[i];
            continue;
        }
        size_t end = in.find(L'%', i + 1);
        if (end == std::wstring::npos) return false;
        std::wstring name = in.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += L'%';
        } else {
            bool found = false;
            for (const auto& var : vars)
                if (var.first == name) {
                    out += var.second;
                    found = true;
                    break;
                }
            if (!found) return false;
        }
        i = end;
    }
    return true;
}

bool SplitKey(const std::wstring& text, RegLine& line) {
    size_t slash = text.find(L'\\');
    if (slash == std::wstring::npos || slash + 1 >= text.size()) return false;
    line.hRoot = RootKeyFromAlias(text.substr(0, slash));
    line.strPath = text.substr(slash + 1);
    return line.hRoot != nullptr;
}

bool ParseLine(std::vector<std::wstring>& tokens, RegLine& line) {
    if (tokens[0] == L"value") {
        if (tokens.size() != 5 || tokens[3] != L"=") return false;
        line.bValue = true;
        line.strName = tokens[2];
        line.bHasData = true;
        line.strData = tokens[4];
        return SplitKey(tokens[1], line);
    }
    if (tokens[0] != L"key" || tokens.size() < 2) return false;
    for (size_t i = 2; i < tokens.size(); ++i) {
        if (tokens[i] == L"keep") {
            line.bKeep = true;
        } else if (tokens[i] == L"fresh") {
            line.bFresh = true;
        } else if (tokens[i] == L"=" && i + 2 == tokens.size()) {
            line.bHasData = true;
            line.strData = tokens[i + 1];
            break;
        } else {
            return false;
        }
    }
    return SplitKey(tokens[1], line);
}

bool ParseScript(const std::wstring& script, const RegReplacements& vars, std::vector<RegLine>& lines) {
    size_t pos = 0;
    while (pos <= script.size()) {
        size_t end = script.find(L'\n', pos);
        if (end == std::wstring::npos) end = script.size();
        std::wstring text = script.substr(pos, end - pos);
        pos = end + 1;
        std::vector<std::wstring> raw;
        if (!Tokenize(text, raw)) return false;
        if (raw.empty() || raw[0][0] == L'#') continue;
        for (auto& token : raw) {
            std::wstring replaced;
            if (!Substitute(token, vars, replaced)) return false;
            token = replaced;
        }
        RegLine line;
        if (!ParseLine(raw, line)) return false;
        lines.push_back(line);
    }
    return true;
}

LONG SetString(HKEY hKey, const wchar_t* pszName, const std::wstring& data) {
    return RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

LONG RegisterLine(const RegLine& line) {
    if (line.bFresh) {
        LONG err = DeleteKeyTree(line.hRoot, line.strPath);
        if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND) return err;
    }
    unique_hkey key;
    LONG err = RegCreateKeyExW(line.hRoot, line.strPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                               nullptr);
    if (err != ERROR_SUCCESS || !line.bHasData) return err;
    return SetString(key.get(), line.bValue ? line.strName.c_str() : nullptr, line.strData);
}

LONG UnregisterLine(const RegLine& line) {
    LONG err = ERROR_SUCCESS;
    if (line.bValue) {
        err = DeleteValue(line.hRoot, line.strPath, line.strName);
    } else if (!line.bKeep) {
        err = DeleteKeyTree(line.hRoot, line.strPath);
    }
    return err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err;
}

}  // namespace

HRESULT ApplyRegistryScript(const std::wstring& strScript, const RegReplacements& vars, bool bRegister) {
    std::vector<RegLine> lines;
    if (!ParseScript(strScript, vars, lines)) return kBadFormat;
    if (bRegister) {
        for (const auto& line : lines)
            if (LONG err = RegisterLine(line)) return HRESULT_FROM_WIN32(err);
    } else {
        // Deepest first: the order of the script is parents before children.
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (LONG err = UnregisterLine(*it)) return HRESULT_FROM_WIN32(err);
    }
    return S_OK;
}

HRESULT ApplyRegistryResource(HMODULE hModule, UINT nId, const RegReplacements& vars, bool bRegister) {
    HRSRC hRes = FindResourceW(hModule, MAKEINTRESOURCEW(nId), L"REGISTRY");
    HGLOBAL hData = hRes ? LoadResource(hModule, hRes) : nullptr;
    const char* pBytes = hData ? static_cast<const char*>(LockResource(hData)) : nullptr;
    if (!pBytes) return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_RESOURCE_DATA_NOT_FOUND);
    int nBytes = static_cast<int>(SizeofResource(hModule, hRes));
    if (nBytes >= 3 && static_cast<unsigned char>(pBytes[0]) == 0xEF) {  // UTF-8 byte-order mark
        pBytes += 3;
        nBytes -= 3;
    }
    std::wstring script;
    if (nBytes > 0) {
        int n = MultiByteToWideChar(CP_UTF8, 0, pBytes, nBytes, nullptr, 0);
        script.resize(n);
        MultiByteToWideChar(CP_UTF8, 0, pBytes, nBytes, &script[0], n);
    }
    return ApplyRegistryScript(script, vars, bRegister);
}

}  // namespace kx
