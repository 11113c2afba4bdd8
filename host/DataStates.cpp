#include "DataStates.h"

#include "WinText.h"

DataStates::~DataStates() {
    if (m_pData) m_pData->Uninit();
    m_pData.reset();
    // Like the component's module: the process is about to end, and a COM object may outlive its last pointer.
    (void)m_hDll.release();
}

bool DataStates::Open(const std::wstring& folder, std::wstring& error) {
    const std::wstring path = folder + L"KxData.dll";
    m_hDll.reset(LoadLibraryW(path.c_str()));
    if (!m_hDll) {
        error = L"cannot load " + UserPath(path) + L": " + ErrorText(GetLastError());
        return false;
    }
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), "DllGetClassObject")));
    kx::com_ptr<IClassFactory> factory;
    HRESULT hr = getClassObject ? getClassObject(CLSID_KxDataMgr, IID_IClassFactory, factory.put_void()) : E_FAIL;
    if (SUCCEEDED(hr) && factory) hr = factory->CreateInstance(nullptr, IID_IKxDataMgr, m_pData.put_void());
    if (SUCCEEDED(hr) && m_pData) hr = m_pData->Init();
    if (FAILED(hr) || !m_pData) {
        error = L"the data component gives no IKxDataMgr: " + HResultText(hr);
        m_pData.reset();
        return false;
    }
    return true;
}

KX_SOFT_STATE DataStates::Get(UINT nSoftId) const {
    KX_SOFT_STATE state = {};
    if (m_pData && FAILED(m_pData->GetSoftState(nSoftId, &state))) state = KX_SOFT_STATE{};
    return state;
}
