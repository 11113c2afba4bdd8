// What the scanner hands on: its count, the leftover records of the host's list, and the leftover dump.
#define KX_LOG_SOURCE ".\\Dustman"
#include "Dustman.h"

#include <new>

#include "DumpFile.h"
#include "KxLog.h"
#include "PowerSweepItem.h"
#include "WideFormat.h"

UINT CDustman::GetDustCount() const {
    return static_cast<UINT>(m_lstFile.size() + m_lstFolder.size() + m_lstLink.size() + m_lstReg.size());
}

void CDustman::ToSweepList(std::vector<CPowerSweepItem*>& vecSweep) {
    auto add = [&vecSweep](UINT nKind, UINT nId, UINT nLevel, const std::wstring& strPath) {
        CPowerSweepItem* pItem = new (std::nothrow) CPowerSweepItem();
        if (!pItem) {
            KXLOG_AS(0, "CDustman::ToSweepList", L"!!!New Failed");
            return;
        }
        pItem->Kind = nKind;
        pItem->Id = nId;
        pItem->Level = nLevel;
        pItem->Path = strPath;
        vecSweep.push_back(pItem);
    };
    add(CPowerSweepItem::KIND_ROOT, 0, CPowerSweepItem::LEVEL_ROOT, L"全部");
    struct Group {
        UINT nKind;
        std::deque<std::wstring>* pList;
        const wchar_t* pszLabel;
    };
    const Group kGroups[] = {{CPowerSweepItem::KIND_FILE, &m_lstFile, L"文件"},
                             {CPowerSweepItem::KIND_REGISTRY, &m_lstReg, L"注册表"},
                             {CPowerSweepItem::KIND_SHORTCUT, &m_lstLink, L"快捷方式"},
                             {CPowerSweepItem::KIND_FOLDER, &m_lstFolder, L"文件夹"}};
    for (const Group& group : kGroups) {
        if (group.pList->empty()) continue;
        add(group.nKind, 0, CPowerSweepItem::LEVEL_GROUP, group.pszLabel);
        for (; !group.pList->empty(); group.pList->pop_front())
            add(group.nKind, static_cast<UINT>(vecSweep.size()), CPowerSweepItem::LEVEL_MEMBER, group.pList->front());
    }
}

void CDustman::DumpDust() const {
    CDumpFile dump;
    if (!dump.Open(L"Dust", L"Log\\D_Dustman_%Y%m%d_%H%M%S.txt")) return;
    dump.Write(kx::Format(L"Dump begin\nKey[%s]\nDolder=[%s]\n", m_strKey.c_str(), m_strFolder.c_str()));
    const std::pair<const wchar_t*, const std::deque<std::wstring>*> kSections[] = {
        {L"File:%d", &m_lstFile}, {L"Folder:%d", &m_lstFolder}, {L"Link:%d", &m_lstLink}, {L"Regs:%d", &m_lstReg}};
    for (const auto& section : kSections) {
        dump.Write(kx::Format(section.first, static_cast<int>(section.second->size())));
        // Numbered from 1 within each section.
        int nNumber = 0;
        for (const std::wstring& text : *section.second) dump.Write(kx::Format(L"[%02d]: %s", ++nNumber, text.c_str()));
    }
    dump.Close();
}
