// A host that knows the component only from its public header: it registers KxUninst.dll with regsvr32,
// creates the object through COM, initialises it, listens, shuts it down and unregisters it. The registry is
// the prefix's real one (HKCR = HKLM\Software\Classes).
#include <initguid.h>

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <string>

#include "KxUninstIf.h"
#include "ListenerHost.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"

namespace {

const std::wstring kClsid = L"{6F1C2A90-3B7E-4D52-9A11-5C0E8B7D2F41}";
const std::wstring kAppId = L"{0B7E9C24-58A1-4D3F-AE62-9F4C1B7D3E85}";
const std::wstring kLibId = L"{A2D4F6B8-1C3E-4A5B-8D7F-0E2C4A6B8D90}";

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return s;
}

DWORD Regsvr32(const std::wstring& args) {
    std::wstring cmd = L"regsvr32.exe " + args + L" \"" + kxtest::ExeFolder() + L"KxUninst.dll\"";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFE;
    kx::unique_handle process(pi.hProcess), thread(pi.hThread);
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(process.get(), 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.get(), &code);
    return code;
}

// What a key holds: "name=data" for each string value ("" names the default value), "\sub" for each subkey;
// "<none>" when there is no such key.
std::wstring ReadKey(const std::wstring& path) {
    kx::unique_hkey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"<none>";
    std::map<std::wstring, std::wstring> entries;
    wchar_t szName[256], szData[1024];
    for (DWORD i = 0, cch = 256; RegEnumKeyExW(key.get(), i, szName, &cch, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i, cch = 256)
        entries[L"\\" + std::wstring(szName)] = L"";
    for (DWORD i = 0, cch = 256, cb = sizeof(szData) - 2, type = 0;
         RegEnumValueW(key.get(), i, szName, &cch, nullptr, &type, reinterpret_cast<BYTE*>(szData), &cb) == ERROR_SUCCESS;
         ++i, cch = 256, cb = sizeof(szData) - 2) {
        szData[cb / 2] = 0;
        entries[szName] = L"=" + (type == REG_SZ ? std::wstring(szData) : L"<type " + std::to_wstring(type) + L">");
    }
    std::wstring text;
    for (const auto& [name, data] : entries) text += (text.empty() ? L"" : L" ") + name + data;
    return text;
}

void UseTheObject() {
    kx::com_ptr<IKxUninstMgr> mgr;
    ASSERT_EQ(CoCreateInstance(CLSID_KxUninstMgr, nullptr, CLSCTX_INPROC_SERVER, IID_IKxUninstMgr, mgr.put_void()), S_OK);
    kx::com_ptr<IKxListMgr> list;
    ASSERT_EQ(mgr->QueryInterface(IID_IKxListMgr, list.put_void()), S_OK);
    EXPECT_EQ(mgr->Init(), S_OK);
    kxhost::CListenerHost host;
    HWND hListener = host.CreateListener();
    EXPECT_EQ(list->AddListener(hListener, LIST_SOFT | LIST_CATEGORY), S_OK);
    EXPECT_EQ(list->Notify(MAKEWPARAM(ACT_LIST_READY, LIST_SOFT), 0), S_OK);
    ASSERT_TRUE(host.WaitForCount(1, 5000));
    EXPECT_EQ(host.Messages()[0].hWnd, hListener);
    EXPECT_EQ(host.Messages()[0].wParam, static_cast<WPARAM>(MAKEWPARAM(ACT_LIST_READY, LIST_SOFT)));
    EXPECT_EQ(mgr->Uninstall(1), E_FAIL) << "no data component beside this host";
    EXPECT_EQ(mgr->Uninit(), S_OK);
    EXPECT_EQ(list->RemoveListener(hListener, LIST_SOFT | LIST_CATEGORY), S_OK);
}

}  // namespace

TEST(Host, RegistersCreatesUsesAndUnregistersTheComponent) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    // A key left below the class id by an earlier registration is cleared by the next one.
    kx::unique_hkey stale;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + kClsid + L"\\Stale").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                    stale.put(), nullptr);
    stale.reset();
    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    const std::wstring dll = Lower(kxtest::ExeFolder() + L"KxUninst.dll"), cls = L"CLSID\\" + kClsid,
                       lib = L"TypeLib\\" + kLibId + L"\\1.0";
    // IKxUninstMgr is neither dual nor automation-compatible: no Interface key is written for it.
    const std::pair<std::wstring, std::wstring> keys[] = {
        {L"AppID\\" + kAppId, L"=KxUninst"},
        {L"AppID\\KxUninst.DLL", L"AppID=" + kAppId},
        {L"KxUninst.KxUninstMgr.1", L"=KxUninstMgr Class \\CLSID"},
        {L"KxUninst.KxUninstMgr.1\\CLSID", L"=" + kClsid},
        {L"KxUninst.KxUninstMgr", L"=KxUninstMgr Class \\CLSID \\CurVer"},
        {L"KxUninst.KxUninstMgr\\CLSID", L"=" + kClsid},
        {L"KxUninst.KxUninstMgr\\CurVer", L"=KxUninst.KxUninstMgr.1"},
        {cls, L"=KxUninstMgr Class AppID=" + kAppId + L" \\InprocServer32 \\ProgID \\TypeLib \\VersionIndependentProgID"},
        {cls + L"\\ProgID", L"=KxUninst.KxUninstMgr.1"},
        {cls + L"\\VersionIndependentProgID", L"=KxUninst.KxUninstMgr"},
        {cls + L"\\TypeLib", L"=" + kLibId},
        {cls + L"\\InprocServer32", L"=" + dll + L" ThreadingModel=Apartment"},
        {L"TypeLib\\" + kLibId, L"\\1.0"},
        {lib, L"=KxUninst 1.0 Type Library \\0 \\FLAGS \\HELPDIR"},
        {lib + L"\\0", L"\\win64"},
        {lib + L"\\0\\win64", L"=" + dll},
        {lib + L"\\FLAGS", L"=8"},  // LIBFLAG_FHASDISKIMAGE, as widl sets it
        {lib + L"\\HELPDIR", L"=" + Lower(kxtest::ExeFolder())},
        {L"Interface\\{D3B1E7A2-6C45-4F1E-B9A0-27C58E3D1F6B}", L"<none>"},
    };
    for (const auto& [key, content] : keys) {
        const bool bPath = key.find(L"InprocServer32") != std::wstring::npos || key.find(L"\\0\\win64") != std::wstring::npos ||
                           key.find(L"HELPDIR") != std::wstring::npos;  // paths compare without case
        EXPECT_EQ(bPath ? Lower(ReadKey(key)) : ReadKey(key), bPath ? Lower(content) : content) << key;
    }
    UseTheObject();
    CoFreeUnusedLibrariesEx(0, 0);

    ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
    for (const auto& key : {L"AppID\\" + kAppId, std::wstring(L"AppID\\KxUninst.DLL"), std::wstring(L"KxUninst.KxUninstMgr.1"),
                            std::wstring(L"KxUninst.KxUninstMgr"), cls, L"TypeLib\\" + kLibId})
        EXPECT_EQ(ReadKey(key), L"<none>") << key;
    EXPECT_NE(ReadKey(L"AppID"), L"<none>");
    EXPECT_NE(ReadKey(L"CLSID"), L"<none>");
    EXPECT_EQ(Regsvr32(L"/u /s"), 0u) << "unregistering again finds nothing to remove and still succeeds";
    kx::com_ptr<IKxUninstMgr> mgr;
    EXPECT_EQ(CoCreateInstance(CLSID_KxUninstMgr, nullptr, CLSCTX_INPROC_SERVER, IID_IKxUninstMgr, mgr.put_void()),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
}
