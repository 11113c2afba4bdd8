// The real KxData.dll beside this binary: loaded through its exports, fed with a rules file of a chosen size.
#pragma once

#include <windows.h>

#include <string>

#include "KxUninstIf.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace kxtest {

// Rules with the given version and nCount software lines: ids 5000 + i, SoftId "soft<i>", category 1 + i % 3,
// names "Program <i>".
inline std::string RulesText(UINT nCount, UINT nVersion = 7) {
    std::string text = "# test rules\nversion=" + std::to_string(nVersion) +
                       "\ncategory=0.全部软件\ncategory=1.浏览器\ncategory=2.聊天通讯\ncategory=3.办公软件\n";
    for (UINT i = 0; i < nCount; ++i) {
        std::string n = std::to_string(i);
        text += std::to_string(5000 + i) + "|soft" + n + "|" + std::to_string(1 + i % 3) + "|Program " + n +
                "|0|1||Brief " + n + "|https://example.com/" + n + "||\n";
    }
    return text;
}
// The rules file the data component reads by default: beside it.
inline std::wstring RulesPath() { return ExeFolder() + L"KxDataRules.txt"; }
inline void WriteRules(const std::string& text) { WriteFileBytes(RulesPath(), text); }
inline std::wstring ShippedRulesPath() { return ExeFolder() + L"shipped\\KxDataRules.txt"; }

// LoadLibrary, DllGetClassObject, CreateInstance; the objects are released before the library is freed.
class DataDll {
public:
    DataDll() : m_hDll(LoadLibraryW((ExeFolder() + L"KxData.dll").c_str())) {
        kx::com_ptr<IClassFactory> factory;
        if (!m_hDll || FAILED(GetClassObject()(CLSID_KxDataMgr, IID_IClassFactory, factory.put_void()))) return;
        factory->CreateInstance(nullptr, IID_IKxDataMgr, m_mgr.put_void());
        if (m_mgr) m_mgr->QueryInterface(IID_IKxListMgr, m_list.put_void());
    }
    ~DataDll() { ReleaseObjects(); }
    bool Loaded() const { return m_mgr && m_list; }
    IKxDataMgr* Mgr() const { return m_mgr.get(); }
    IKxListMgr* List() const { return m_list.get(); }
    void ReleaseObjects() {
        m_list.reset();
        m_mgr.reset();
    }
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    GetClassObjectFn GetClassObject() const {
        return reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), "DllGetClassObject")));
    }
    HRESULT CanUnloadNow() const {
        using Fn = HRESULT(STDAPICALLTYPE*)();
        auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), "DllCanUnloadNow")));
        return fn ? fn() : E_FAIL;
    }

private:
    kx::unique_hmodule m_hDll;
    kx::com_ptr<IKxDataMgr> m_mgr;
    kx::com_ptr<IKxListMgr> m_list;
};

}  // namespace kxtest
