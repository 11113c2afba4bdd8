#include "ListDump.h"

#include "DumpFile.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"
#include "WideFormat.h"

void DumpRuleList(const std::vector<CUninstallRuleItem*>& rules) {
    CDumpFile dump;
    if (!dump.Open(L"UnRule", L"Log\\D_UnRule_%Y%m%d_%H%M%S.txt")) return;
    dump.WriteHeader(static_cast<int>(rules.size()));
    int n = 0;
    for (const CUninstallRuleItem* r : rules)
        dump.Write(kx::Format(L"No.%d\nid:%d, DelTick:%d\nTypeId:%d, SoftId:%s, Hide:%d, MatchType:%d, SoftLogo:%s, "
                              L"Brief:%s, InfoUrl:%s, UninstallName:%s, LogoCrc:%s\n",
                              n++, r->Id, r->DelTick, r->TypeId, r->SoftId.c_str(), r->Hide, r->MatchType,
                              r->SoftLogo.c_str(), r->Brief.c_str(), r->InfoUrl.c_str(), r->UninstallName.c_str(),
                              r->LogoCrc.c_str()));
    dump.Close();
}

void DumpSoftList(const std::vector<CSoftItem*>& soft) {
    CDumpFile dump;
    if (!dump.Open(L"UnSoft", L"Log\\D_UnSoft_%Y%m%d_%H%M%S.txt")) return;
    dump.WriteHeader(static_cast<int>(soft.size()));
    int n = 0;
    for (const CSoftItem* s : soft)
        dump.Write(kx::Format(L"No.%d\tName:%s, size:%I64d, time:%s\n\tCategory:%s\n\tIcon:%s\n\tFolder:%s\n\tKey:%s\n"
                              L"GUID:%s\nID:%d\n",
                              n++, s->Name.c_str(), s->Size, s->Time.c_str(), s->Category.c_str(), s->Icon.c_str(),
                              s->Folder.c_str(), s->Key.c_str(), s->SoftId.c_str(), s->Id));
    dump.Close();
}
