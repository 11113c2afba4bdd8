// One field list per record drives both directions: Transfer(io, record) is written once per class and run
// with an ItemWriter or an ItemReader, so the read order cannot drift from the write order. Both stop at the
// first failing primitive (the callers chain them with &&).
#pragma once

#include <string>

#include "Serializer.h"

struct ItemWriter {
    CSerializer& s;
    int operator()(const BYTE& v) { return s.WriteU8(v); }
    int operator()(const UINT& v) { return s.WriteU32(v); }
    int operator()(const ULONGLONG& v) { return s.WriteU64(v); }
    int operator()(const LONGLONG& v) { return s.WriteU64(static_cast<ULONGLONG>(v)); }
    int operator()(const std::wstring& v) { return s.WriteText(v); }
};

// A failed read leaves its field as it was.
struct ItemReader {
    CSerializer& s;
    int operator()(BYTE& v) { return s.ReadU8(v); }
    int operator()(UINT& v) { return s.ReadU32(v); }
    int operator()(ULONGLONG& v) { return s.ReadU64(v); }
    int operator()(LONGLONG& v) {
        ULONGLONG u = 0;
        if (!s.ReadU64(u)) return 0;
        v = static_cast<LONGLONG>(u);
        return 1;
    }
    int operator()(std::wstring& v) { return s.ReadText(v); }
};
