#define KX_LOG_SOURCE ".\\KxUninstAPI"
#include "KxUninstAPI.h"

#include <objbase.h>
#include <rpc.h>
#include <shlwapi.h>

#include "GuidText.h"
#include "RegKey.h"
#include "WideFormat.h"

std::wstring GetAccountSidString(bool bCurrentUser) {
    std::wstring account = L"system";
    if (bCurrentUser) {
        wchar_t szUser[MAX_PATH] = {};
        DWORD cch = MAX_PATH;
        if (!GetUserNameW(szUser, &cch)) return std::wstring();
        account.assign(szUser, wcsnlen(szUser, MAX_PATH));
    }
    // DWORD-aligned storage for the SID.
    DWORD sidBuffer[520 / sizeof(DWORD)] = {};
    DWORD cbSid = sizeof(sidBuffer);
    wchar_t szDomain[MAX_PATH] = {};
    DWORD cchDomain = MAX_PATH;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountNameW(nullptr, account.c_str(), sidBuffer, &cbSid, szDomain, &cchDomain, &use))
        return std::wstring();
    if (!IsValidSid(sidBuffer)) return std::wstring();
    wchar_t szText[MAX_PATH] = {};
    DWORD cbText = sizeof(szText);
    if (!SidToText(sidBuffer, szText, &cbText)) return std::wstring();
    return szText;
}

bool SidToText(PSID pSid, wchar_t* pszText, DWORD* pcbSize) {
    if (!pSid || !pcbSize || !IsValidSid(pSid)) return false;
    DWORD nSub = *GetSidSubAuthorityCount(pSid);
    DWORD cbNeeded = (28 + 12 * nSub) * sizeof(wchar_t);
    if (*pcbSize < cbNeeded || !pszText) {
        *pcbSize = cbNeeded;
        return false;
    }
    const SID_IDENTIFIER_AUTHORITY* pAuth = GetSidIdentifierAuthority(pSid);
    const BYTE* v = pAuth->Value;
    std::wstring text = kx::Format(L"S-%lu-", 1UL);
    if (v[0] == 0 && v[1] == 0) {
        unsigned long value = static_cast<unsigned long>(v[5]) | (static_cast<unsigned long>(v[4]) << 8) |
                              (static_cast<unsigned long>(v[3]) << 16) | (static_cast<unsigned long>(v[2]) << 24);
        text += kx::Format(L"%lu", value);
    } else {
        text += kx::Format(L"0x%02hx%02hx%02hx%02hx%02hx%02hx", (unsigned short)v[0], (unsigned short)v[1],
                           (unsigned short)v[2], (unsigned short)v[3], (unsigned short)v[4], (unsigned short)v[5]);
    }
    for (DWORD i = 0; i < nSub; ++i) text += kx::Format(L"-%lu", static_cast<unsigned long>(*GetSidSubAuthority(pSid, i)));
    size_t room = *pcbSize / sizeof(wchar_t);
    if (text.size() + 1 > room) return false;
    wmemcpy(pszText, text.c_str(), text.size() + 1);
    return true;
}

std::wstring PackProductCode(const std::wstring& strProductCode) {
    std::wstring text = strProductCode;
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::wstring();
    UUID uuid = {};
    if (UuidFromStringW(reinterpret_cast<RPC_WSTR>(text.data()), &uuid) != RPC_S_OK) uuid = UUID{};
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&uuid);
    std::wstring packed;
    packed.reserve(32);
    for (int i = 0; i < 16; ++i) {
        packed += kHex[bytes[i] & 0x0F];
        packed += kHex[bytes[i] >> 4];
    }
    return packed;
}

std::wstring NewGuidString() {
    GUID guid = {};
    if (FAILED(CoCreateGuid(&guid))) return std::wstring();
    return kx::GuidText(guid, false);
}

std::wstring GetMsiProductIcon(const std::wstring& strProductCode) {
    std::wstring icon =
        kx::CRegKey(HKEY_LOCAL_MACHINE, std::wstring(UNINST_API::kUninstallPath) + strProductCode).String(L"DisplayIcon");
    if (icon.empty()) {
        std::wstring packed = PackProductCode(strProductCode);
        icon = kx::CRegKey(HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\Products\\" + packed).String(L"ProductIcon");
        if (icon.empty())
            icon = kx::CRegKey(HKEY_CLASSES_ROOT, L"Installer\\Products\\" + packed).String(L"ProductIcon");
    }
    ExpandFirstEnvVar(icon);
    if (!PathExists(icon)) icon.clear();
    return icon;
}
