#include "Serializer.h"

#include <cstring>
#include <limits>
#include <new>

CSerializer::CSerializer() : m_nCapacity(50), m_pBuffer(new BYTE[50]) {
    m_pEnd = m_pBuffer + m_nCapacity;
    m_pCursor = m_pBuffer;
}

CSerializer::CSerializer(const BYTE* pData, UINT nLength) {
    if (!pData || nLength == 0) return;
    m_pBuffer = new BYTE[nLength];
    memcpy(m_pBuffer, pData, nLength);
    m_nCapacity = nLength;
    m_pEnd = m_pBuffer + m_nCapacity;
    m_pCursor = m_pBuffer;
}

CSerializer::~CSerializer() { delete[] m_pBuffer; }

void CSerializer::Reserve(UINT nMore) {
    const ULONGLONG need = static_cast<ULONGLONG>(m_nPosition) + nMore;
    if (need <= m_nCapacity) return;
    // The position is a 32-bit count: a buffer beyond that cannot be addressed.
    if (need > std::numeric_limits<UINT>::max()) throw std::bad_alloc();
    ULONGLONG grown = 2ull * m_nCapacity + 8;
    if (grown > std::numeric_limits<UINT>::max()) grown = std::numeric_limits<UINT>::max();
    const UINT nNew = static_cast<UINT>(grown > need ? grown : need);
    BYTE* pNew = new BYTE[nNew];
    if (m_pBuffer) memcpy(pNew, m_pBuffer, m_nCapacity);
    delete[] m_pBuffer;
    m_pBuffer = pNew;
    m_nCapacity = nNew;
    m_pEnd = m_pBuffer + m_nCapacity;
    m_pCursor = m_pBuffer + m_nPosition;
}

int CSerializer::WriteU8(BYTE v) {
    Reserve(1);
    *m_pCursor++ = v;
    m_nPosition += 1;
    return 1;
}

int CSerializer::WriteU32(UINT v) {
    Reserve(4);
    for (int i = 0; i < 4; ++i) m_pCursor[i] = static_cast<BYTE>(v >> (8 * i));
    m_pCursor += 4;
    m_nPosition += 4;
    return 1;
}

int CSerializer::WriteU64(ULONGLONG v) {
    Reserve(8);
    for (int i = 0; i < 8; ++i) m_pCursor[i] = static_cast<BYTE>(v >> (8 * i));
    m_pCursor += 8;
    m_nPosition += 8;
    return 1;
}

int CSerializer::WriteText(const std::wstring& s) {
    const ULONGLONG nBytes = 2ull * s.size();
    if (nBytes > std::numeric_limits<UINT>::max() - 4) throw std::bad_alloc();
    const UINT nCount = static_cast<UINT>(nBytes);
    // Count and characters are one primitive: the buffer grows once for both.
    Reserve(4 + nCount);
    for (int i = 0; i < 4; ++i) m_pCursor[i] = static_cast<BYTE>(nCount >> (8 * i));
    BYTE* p = m_pCursor + 4;
    for (wchar_t c : s) {
        const unsigned u = static_cast<unsigned>(c) & 0xFFFF;
        *p++ = static_cast<BYTE>(u);
        *p++ = static_cast<BYTE>(u >> 8);
    }
    m_pCursor += 4 + nCount;
    m_nPosition += 4 + nCount;
    return 1;
}

// True when n more bytes are there to read.
static inline bool Remains(UINT nCapacity, UINT nPosition, UINT n) { return n <= nCapacity - nPosition; }

int CSerializer::ReadU8(BYTE& v) {
    if (!Remains(m_nCapacity, m_nPosition, 1)) return 0;
    v = *m_pCursor++;
    m_nPosition += 1;
    return 1;
}

int CSerializer::ReadU32(UINT& v) {
    if (!Remains(m_nCapacity, m_nPosition, 4)) return 0;
    UINT r = 0;
    for (int i = 0; i < 4; ++i) r |= static_cast<UINT>(m_pCursor[i]) << (8 * i);
    v = r;
    m_pCursor += 4;
    m_nPosition += 4;
    return 1;
}

int CSerializer::ReadU64(ULONGLONG& v) {
    if (!Remains(m_nCapacity, m_nPosition, 8)) return 0;
    ULONGLONG r = 0;
    for (int i = 0; i < 8; ++i) r |= static_cast<ULONGLONG>(m_pCursor[i]) << (8 * i);
    v = r;
    m_pCursor += 8;
    m_nPosition += 8;
    return 1;
}

int CSerializer::ReadText(std::wstring& s) {
    UINT nCount = 0;
    if (!ReadU32(nCount)) return 0;
    // The count comes from outside: check it against what is there before allocating anything.
    if (!Remains(m_nCapacity, m_nPosition, nCount)) return 0;
    std::wstring text(nCount / 2, L'\0');
    const BYTE* p = m_pCursor;
    for (auto& c : text) {
        c = static_cast<wchar_t>(p[0] | (p[1] << 8));
        p += 2;
    }
    s.swap(text);
    m_pCursor += nCount;
    m_nPosition += nCount;
    return 1;
}
