// The byte format shared by the component, its host, the data component and the cache file: little-endian
// u8, u32, u64 and text (u32 byte count, UTF-16LE code units, no terminator), no alignment, no padding.
#pragma once

#include <windows.h>
#include <string>

class CSerializer {
public:
    // Writer: a 50-byte buffer that grows to the larger of 2 x capacity + 8 and the total a write needs.
    CSerializer();
    // Reader over a copy of the given bytes. With no data or a length of 0 every field is zero.
    CSerializer(const BYTE* pData, UINT nLength);
    virtual ~CSerializer();
    CSerializer(const CSerializer&) = delete;
    CSerializer& operator=(const CSerializer&) = delete;

    // Writes append at the cursor and return 1; a growth that cannot allocate throws std::bad_alloc.
    int WriteU8(BYTE v);
    int WriteU32(UINT v);
    int WriteU64(ULONGLONG v);
    int WriteText(const std::wstring& s);

    // Reads return 1, or 0 without moving when the bytes are not there. A text read consumes its count even
    // when the text then does not fit; an odd count reads the whole characters and skips the odd byte.
    int ReadU8(BYTE& v);
    int ReadU32(UINT& v);
    int ReadU64(ULONGLONG& v);
    int ReadText(std::wstring& s);

    UINT Capacity() const { return m_nCapacity; }
    UINT Length() const { return m_nPosition; }  // bytes written, or bytes consumed
    const BYTE* Buffer() const { return m_pBuffer; }
    bool AtEnd() const { return m_pCursor == m_pEnd; }

private:
    void Reserve(UINT nMore);

    UINT m_nCapacity = 0;
    UINT m_nPosition = 0;
    BYTE* m_pBuffer = nullptr;
    BYTE* m_pEnd = nullptr;
    BYTE* m_pCursor = nullptr;
};
