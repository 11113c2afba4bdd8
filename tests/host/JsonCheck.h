// A small strict JSON reader for checking what kxuninst writes: it accepts exactly the JSON grammar (UTF-8,
// no trailing commas, no comments) and fails on anything else, including text after the value.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    std::string number;  // as written
    std::wstring text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;
    std::vector<std::string> order;  // member names as they came

    const JsonValue& operator[](const std::string& name) const;
    unsigned long long Unsigned() const { return std::stoull(number); }
    long long Signed() const { return std::stoll(number); }
};

// Parses a whole document; false with a reason (and the byte offset) when it is not valid JSON.
bool ParseJson(const std::string& utf8, JsonValue& value, std::string& error);
