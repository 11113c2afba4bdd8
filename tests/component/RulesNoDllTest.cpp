// The rule tasks in an install without KxData.dll.
#include <windows.h>
#include <initguid.h>

#include <gtest/gtest.h>

#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "kxtest/HostLayout.h"

TEST(RulesWithoutKxData, TaskInitLogsThePathAndGives23) {
    KxUninstStartup(nullptr);
    ASSERT_EQ(GetFileAttributesW((kxtest::ExeFolder() + L"KxData.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    size_t from = kxtest::ComponentLogLineCount();
    auto* p = new CKxUninstMgr();
    p->AddRef();
    p->TaskInit();
    EXPECT_FALSE(p->m_hDll);
    EXPECT_FALSE(p->m_pDataMgr);
    EXPECT_FALSE(p->m_bInited);
    EXPECT_EQ(kxtest::LogLinesContaining(L"step.1 LoadLibrary:[" + kxtest::ExeFolder() + L"KxData.dll], m_hDll=[0x0]",
                                         from).size(), 1u);
    EXPECT_EQ(kxtest::LogLinesContaining(L"!!iErr code:[23]", from).size(), 1u);
    EXPECT_TRUE(kxtest::LogLinesContaining(L"step.2", from).empty());
    p->TaskGetUnRules();
    EXPECT_EQ(kxtest::LogLinesContaining(L"!!iErr code:[101]", from).size(), 1u);
    p->Release();
}

TEST(RulesWithoutKxData, InitAndUninitRunWithoutTheDataComponent) {
    KxUninstStartup(nullptr);
    size_t from = kxtest::ComponentLogLineCount();
    auto* p = new CKxUninstMgr();
    p->AddRef();
    ASSERT_EQ(p->Init(), S_OK);
    DWORD start = GetTickCount();
    while (kxtest::LogLinesContaining(L"!!iErr code:[23]", from).empty() && GetTickCount() - start < 5000) Sleep(20);
    EXPECT_EQ(p->Uninstall(5001), E_FAIL);
    ASSERT_EQ(p->Uninit(), S_OK);
    // The exit task ran its own steps and skipped the data component's.
    EXPECT_EQ(kxtest::LogLinesContaining(L"step.5 释放KxData.dll", from).size(), 1u);
    auto free = kxtest::LogLinesContaining(L"CKxUninstMgr::TaskFree()]", from);
    ASSERT_FALSE(free.empty());
    EXPECT_NE(free.back().find(L"End"), std::wstring::npos);
    EXPECT_FALSE(p->m_hDll);
    EXPECT_FALSE(p->m_pDataMgr);
    p->Release();
}
