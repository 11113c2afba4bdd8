// Stand-in for the shared serializer and the two records KxData writes, compiled only while the shared
// items/*.cpp are not in the tree yet. Same byte format.
#include <cstring>
#include <new>

#include "Serializer.h"
#include "SoftInfoItem.h"
#include "SoftShortCut.h"
#include "UninstallRuleItem.h"

CSerializer::CSerializer() : m_nCapacity(50), m_pBuffer(new BYTE[50]) {
    m_pEnd = m_pBuffer + m_nCapacity;
    m_pCursor = m_pBuffer;
}
CSerializer::CSerializer(const BYTE* pData, UINT nLength) {
    if (!pData || !nLength) return;
    m_pBuffer = new BYTE[nLength];
    memcpy(m_pBuffer, pData, nLength);
    m_nCapacity = nLength;
    m_pEnd = m_pBuffer + nLength;
    m_pCursor = m_pBuffer;
}
CSerializer::~CSerializer() { delete[] m_pBuffer; }
void CSerializer::Reserve(UINT nMore) {
    UINT need = m_nPosition + nMore;
    if (need <= m_nCapacity) return;
    UINT cap = 2 * m_nCapacity + 8 > need ? 2 * m_nCapacity + 8 : need;
    BYTE* p = new BYTE[cap];
    if (m_nPosition) memcpy(p, m_pBuffer, m_nPosition);
    delete[] m_pBuffer;
    m_pBuffer = p;
    m_nCapacity = cap;
    m_pEnd = p + cap;
    m_pCursor = p + m_nPosition;
}
int CSerializer::WriteU8(BYTE v) { Reserve(1); *m_pCursor = v; m_pCursor += 1; m_nPosition += 1; return 1; }
int CSerializer::WriteU32(UINT v) { Reserve(4); memcpy(m_pCursor, &v, 4); m_pCursor += 4; m_nPosition += 4; return 1; }
int CSerializer::WriteU64(ULONGLONG v) { Reserve(8); memcpy(m_pCursor, &v, 8); m_pCursor += 8; m_nPosition += 8; return 1; }
int CSerializer::WriteText(const std::wstring& s) {
    UINT n = static_cast<UINT>(s.size() * 2);
    WriteU32(n);
    Reserve(n);
    if (n) memcpy(m_pCursor, s.data(), n);
    m_pCursor += n;
    m_nPosition += n;
    return 1;
}
int CSerializer::ReadU8(BYTE& v) { if (m_nPosition + 1 > m_nCapacity) return 0; v = *m_pCursor; m_pCursor += 1; m_nPosition += 1; return 1; }
int CSerializer::ReadU32(UINT& v) { if (m_nPosition + 4 > m_nCapacity) return 0; memcpy(&v, m_pCursor, 4); m_pCursor += 4; m_nPosition += 4; return 1; }
int CSerializer::ReadU64(ULONGLONG& v) { if (m_nPosition + 8 > m_nCapacity) return 0; memcpy(&v, m_pCursor, 8); m_pCursor += 8; m_nPosition += 8; return 1; }
int CSerializer::ReadText(std::wstring& s) {
    UINT n = 0;
    if (!ReadU32(n)) return 0;
    if (static_cast<ULONGLONG>(m_nPosition) + n > m_nCapacity) return 0;
    s.assign(reinterpret_cast<const wchar_t*>(m_pCursor), n / 2);
    m_pCursor += n;
    m_nPosition += n;
    return 1;
}

int CUninstallRuleItem::Serialize(CSerializer& s) {
    return s.WriteU32(Id) && s.WriteU32(TypeId) && s.WriteText(SoftId) && s.WriteU32(Hide) && s.WriteU32(MatchType) &&
           s.WriteText(SoftLogo) && s.WriteText(Brief) && s.WriteText(InfoUrl) && s.WriteText(UninstallName) &&
           s.WriteText(LogoCrc);
}
int CUninstallRuleItem::Deserialize(CSerializer& s) {
    return s.ReadU32(Id) && s.ReadU32(TypeId) && s.ReadText(SoftId) && s.ReadU32(Hide) && s.ReadU32(MatchType) &&
           s.ReadText(SoftLogo) && s.ReadText(Brief) && s.ReadText(InfoUrl) && s.ReadText(UninstallName) &&
           s.ReadText(LogoCrc);
}
int CSoftShortCut::Serialize(CSerializer& s) {
    return s.WriteText(LinkText1) && s.WriteText(LinkText3) && s.WriteText(LinkText2) && s.WriteText(LinkText4) &&
           s.WriteU32(LinkValue);
}
int CSoftShortCut::Deserialize(CSerializer& s) {
    return s.ReadText(LinkText1) && s.ReadText(LinkText3) && s.ReadText(LinkText2) && s.ReadText(LinkText4) &&
           s.ReadU32(LinkValue);
}
int CSoftInfoItem::Serialize(CSerializer& s) {
    bool ok = s.WriteU32(Id) && s.WriteText(SoftId) && s.WriteText(InfoText1) && s.WriteText(InfoText2) &&
              s.WriteU8(InfoFlag1) && s.WriteU32(InfoValue2) && s.WriteText(InfoText3) && s.WriteU64(InfoValue1) &&
              s.WriteText(InfoText6) && s.WriteText(Category) && s.WriteText(InfoText7) && s.WriteText(InfoText8) &&
              s.WriteText(InfoText9) && s.WriteText(InfoText10) && s.WriteText(MatchName) && s.WriteText(InfoText13) &&
              s.WriteText(InfoText14) && s.WriteU8(InfoFlag2) && s.WriteU8(InfoFlag3) && s.WriteU32(InfoValue3) &&
              s.WriteU32(InfoValue4) && s.WriteU8(InfoFlag4) && s.WriteText(InfoText20) && s.WriteText(InfoText21) &&
              s.WriteText(InfoText22) && s.WriteText(InfoText23) && s.WriteText(InfoText24) && s.WriteU8(InfoFlag5) &&
              s.WriteText(InfoText25) && s.WriteText(InfoText11) && s.WriteText(InfoText12) && s.WriteText(InfoText19) &&
              s.WriteText(InfoText17);
    if (!ok || !s.WriteU32(static_cast<UINT>(ShortCuts.size()))) return 0;
    for (auto& c : ShortCuts)
        if (!c.Serialize(s)) return 0;
    return 1;
}
int CSoftInfoItem::Deserialize(CSerializer& s) {
    bool ok = s.ReadU32(Id) && s.ReadText(SoftId) && s.ReadText(InfoText1) && s.ReadText(InfoText2) &&
              s.ReadU8(InfoFlag1) && s.ReadU32(InfoValue2) && s.ReadText(InfoText3) && s.ReadU64(InfoValue1) &&
              s.ReadText(InfoText6) && s.ReadText(Category) && s.ReadText(InfoText7) && s.ReadText(InfoText8) &&
              s.ReadText(InfoText9) && s.ReadText(InfoText10) && s.ReadText(MatchName) && s.ReadText(InfoText13) &&
              s.ReadText(InfoText14) && s.ReadU8(InfoFlag2) && s.ReadU8(InfoFlag3) && s.ReadU32(InfoValue3) &&
              s.ReadU32(InfoValue4) && s.ReadU8(InfoFlag4) && s.ReadText(InfoText20) && s.ReadText(InfoText21) &&
              s.ReadText(InfoText22) && s.ReadText(InfoText23) && s.ReadText(InfoText24) && s.ReadU8(InfoFlag5) &&
              s.ReadText(InfoText25) && s.ReadText(InfoText11) && s.ReadText(InfoText12) && s.ReadText(InfoText19) &&
              s.ReadText(InfoText17);
    UINT n = 0;
    if (!ok || !s.ReadU32(n)) return 0;
    for (UINT i = 0; i < n; ++i) {
        CSoftShortCut c;
        if (!c.Deserialize(s)) return 0;
        ShortCuts.push_back(c);
    }
    return 1;
}

// The soft item is only dumped by the tests that use this stand-in, never serialized.
#include "SoftItem.h"
int CSoftItem::Serialize(CSerializer&) { return 0; }
int CSoftItem::Deserialize(CSerializer&) { return 0; }
