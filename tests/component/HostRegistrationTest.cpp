// A host that knows the component only from its public header: it registers KxUninst.dll with regsvr32,
// creates the object through COM, initialises it, listens, shuts it down and unregisters it. The registry
// is the prefix's real one (HKCR = HKLM\Software\Classes).
#include <initguid.h>

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "KxUninstIf.h"
#include "ListenerHost.h"
#include "kxtest/HostLayout.h"

namespace {

const std::wstring kClsid = L"{6F1C2A90-3B7E-4D52-9A11-5C0E8B7D2F41}";
const std::wstring kAppId = L"{0B7E9C24-58A1-4D3F-AE62-9F4C1B7D3E85}";
const std::wstring kLibId = L"{A2D4F6B8-1C3E-4A5B-8D7F-0E2C4A6B8D90}";

std::wstring DllPath() { return kxtest::ExeFolder() + L"KxUninst.dll"; }

DWORD Regsvr32(const std::wstring& args) {
    std::wstring cmd = L"regsvr32.exe " + args + L" \"" + DllPath() + L"\"";
    std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
    buffer.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFE;
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return s;
}

bool KeyExists(const std::wstring& path) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
    RegCloseKey(hKey);
    return true;
}

// What one key holds: its values (name -> string data; "" names the default value) and its subkeys.
struct KeyContent {
    std::set<std::pair<std::wstring, std::wstring>> values;
    std::set<std::wstring> subkeys;
};

KeyContent ReadKey(const std::wstring& path) {
    KeyContent content;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return content;
    DWORD nSubkeys = 0, nValues = 0;
    RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &nSubkeys, nullptr, nullptr, &nValues, nullptr, nullptr,
                     nullptr, nullptr);
    for (DWORD i = 0; i < nSubkeys; ++i) {
        wchar_t szName[256] = {};
        DWORD cch = 256;
        if (RegEnumKeyExW(hKey, i, szName, &cch, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            content.subkeys.insert(szName);
    }
    for (DWORD i = 0; i < nValues; ++i) {
        wchar_t szName[256] = {};
        DWORD cch = 256;
        wchar_t szData[1024] = {};
        DWORD cb = sizeof(szData) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegEnumValueW(hKey, i, szName, &cch, nullptr, &type, reinterpret_cast<BYTE*>(szData), &cb) ==
            ERROR_SUCCESS)
            content.values.insert({szName, type == REG_SZ ? szData : L"<type " + std::to_wstring(type) + L">"});
    }
    RegCloseKey(hKey);
    return content;
}

using Values = std::set<std::pair<std::wstring, std::wstring>>;
using Names = std::set<std::wstring>;

void ExpectKey(const std::wstring& path, const Values& values, const Names& subkeys) {
    SCOPED_TRACE(path);
    KeyContent content = ReadKey(path);
    EXPECT_EQ(content.values, values);
    EXPECT_EQ(content.subkeys, subkeys);
}

void ExpectRegistered() {
    ExpectKey(L"AppID\\" + kAppId, {{L"", L"KxUninst"}}, {});
    ExpectKey(L"AppID\\KxUninst.DLL", {{L"AppID", kAppId}}, {});
    ExpectKey(L"KxUninst.KxUninstMgr.1", {{L"", L"KxUninstMgr Class"}}, {L"CLSID"});
    ExpectKey(L"KxUninst.KxUninstMgr.1\\CLSID", {{L"", kClsid}}, {});
    ExpectKey(L"KxUninst.KxUninstMgr", {{L"", L"KxUninstMgr Class"}}, {L"CLSID", L"CurVer"});
    ExpectKey(L"KxUninst.KxUninstMgr\\CLSID", {{L"", kClsid}}, {});
    ExpectKey(L"KxUninst.KxUninstMgr\\CurVer", {{L"", L"KxUninst.KxUninstMgr.1"}}, {});
    const std::wstring cls = L"CLSID\\" + kClsid;
    ExpectKey(cls, {{L"", L"KxUninstMgr Class"}, {L"AppID", kAppId}},
              {L"ProgID", L"VersionIndependentProgID", L"InprocServer32", L"TypeLib"});
    ExpectKey(cls + L"\\ProgID", {{L"", L"KxUninst.KxUninstMgr.1"}}, {});
    ExpectKey(cls + L"\\VersionIndependentProgID", {{L"", L"KxUninst.KxUninstMgr"}}, {});
    ExpectKey(cls + L"\\TypeLib", {{L"", kLibId}}, {});
    KeyContent server = ReadKey(cls + L"\\InprocServer32");
    ASSERT_EQ(server.values.size(), 2u);
    EXPECT_EQ(Lower(server.values.begin()->second), Lower(DllPath()));
    EXPECT_EQ(*server.values.rbegin(), std::make_pair(std::wstring(L"ThreadingModel"), std::wstring(L"Apartment")));
    // The type library's own registration. IKxUninstMgr is neither dual nor automation-compatible, so no
    // Interface key is written for it.
    const std::wstring lib = L"TypeLib\\" + kLibId + L"\\1.0";
    ExpectKey(L"TypeLib\\" + kLibId, {}, {L"1.0"});
    ExpectKey(lib, {{L"", L"KxUninst 1.0 Type Library"}}, {L"0", L"FLAGS", L"HELPDIR"});
    ExpectKey(lib + L"\\0", {}, {L"win64"});
    ExpectKey(lib + L"\\FLAGS", {{L"", L"8"}}, {});  // LIBFLAG_FHASDISKIMAGE, as widl sets it
    KeyContent win64 = ReadKey(lib + L"\\0\\win64");
    ASSERT_EQ(win64.values.size(), 1u);
    EXPECT_EQ(Lower(win64.values.begin()->second), Lower(DllPath()));
    KeyContent help = ReadKey(lib + L"\\HELPDIR");
    ASSERT_EQ(help.values.size(), 1u);
    EXPECT_EQ(Lower(help.values.begin()->second), Lower(kxtest::ExeFolder()));
    EXPECT_FALSE(KeyExists(L"Interface\\{D3B1E7A2-6C45-4F1E-B9A0-27C58E3D1F6B}"));
}

void ExpectUnregistered() {
    for (const std::wstring& key : {L"AppID\\" + kAppId, std::wstring(L"AppID\\KxUninst.DLL"),
                                    std::wstring(L"KxUninst.KxUninstMgr.1"), std::wstring(L"KxUninst.KxUninstMgr"),
                                    L"CLSID\\" + kClsid, L"TypeLib\\" + kLibId})
        EXPECT_FALSE(KeyExists(key)) << key;
    EXPECT_TRUE(KeyExists(L"AppID"));
    EXPECT_TRUE(KeyExists(L"CLSID"));
}

void UseTheObject() {
    IKxUninstMgr* pMgr = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_KxUninstMgr, nullptr, CLSCTX_INPROC_SERVER, IID_IKxUninstMgr,
                               reinterpret_cast<void**>(&pMgr)),
              S_OK);
    IKxListMgr* pList = nullptr;
    ASSERT_EQ(pMgr->QueryInterface(IID_IKxListMgr, reinterpret_cast<void**>(&pList)), S_OK);
    EXPECT_EQ(pMgr->Init(), S_OK);

    kxhost::CListenerHost host;
    HWND hListener = host.CreateListener();
    ASSERT_NE(hListener, nullptr);
    EXPECT_EQ(pList->AddListener(hListener, LIST_SOFT | LIST_CATEGORY), S_OK);
    EXPECT_EQ(pList->Notify(MAKEWPARAM(ACT_LIST_READY, LIST_SOFT), 0), S_OK);
    ASSERT_TRUE(host.WaitForCount(1, 5000));
    EXPECT_EQ(host.Messages()[0].hWnd, hListener);
    EXPECT_EQ(host.Messages()[0].Type(), static_cast<UINT>(LIST_SOFT));
    EXPECT_EQ(host.Messages()[0].Action(), static_cast<UINT>(ACT_LIST_READY));
    BOOL bLoaded = TRUE;
    EXPECT_EQ(pList->IsLoaded(LIST_SOFT, &bLoaded), S_OK);
    EXPECT_EQ(pMgr->Uninstall(1), E_FAIL);  // no data component beside this host

    EXPECT_EQ(pMgr->Uninit(), S_OK);
    EXPECT_EQ(pList->RemoveListener(hListener, LIST_SOFT | LIST_CATEGORY), S_OK);
    pList->Release();
    EXPECT_EQ(pMgr->Release(), 0u);
}

}  // namespace

TEST(Host, RegistersCreatesUsesAndUnregistersTheComponent) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    // A key left below the class id by an earlier registration is cleared by the next one.
    HKEY hStale = nullptr;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + kClsid + L"\\Stale").c_str(), 0, nullptr, 0, KEY_WRITE,
                    nullptr, &hStale, nullptr);
    if (hStale) RegCloseKey(hStale);

    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    ExpectRegistered();
    UseTheObject();
    CoFreeUnusedLibrariesEx(0, 0);

    ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
    ExpectUnregistered();
    // Unregistering again finds nothing to remove and still succeeds.
    EXPECT_EQ(Regsvr32(L"/u /s"), 0u);
    IKxUninstMgr* pMgr = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_KxUninstMgr, nullptr, CLSCTX_INPROC_SERVER, IID_IKxUninstMgr,
                               reinterpret_cast<void**>(&pMgr)),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
}
