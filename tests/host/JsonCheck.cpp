#include "JsonCheck.h"

#include <windows.h>

#include <stdexcept>

namespace {

class Reader {
public:
    explicit Reader(const std::string& s) : m_s(s) {}

    void Document(JsonValue& v) {
        Space();
        Value(v);
        Space();
        if (m_pos != m_s.size()) Fail("text after the value");
    }
    size_t Position() const { return m_pos; }

private:
    [[noreturn]] void Fail(const char* what) { throw std::runtime_error(what); }
    char Peek() const { return m_pos < m_s.size() ? m_s[m_pos] : '\0'; }
    void Expect(char c) {
        if (Peek() != c) Fail("unexpected character");
        ++m_pos;
    }
    void Space() {
        while (m_pos < m_s.size() && (m_s[m_pos] == ' ' || m_s[m_pos] == '\t' || m_s[m_pos] == '\n' || m_s[m_pos] == '\r'))
            ++m_pos;
    }
    void Literal(const char* word) {
        for (const char* p = word; *p; ++p) Expect(*p);
    }

    void Value(JsonValue& v) {
        char c = Peek();
        if (c == '{') return Object(v);
        if (c == '[') return Array(v);
        if (c == '"') {
            v.kind = JsonValue::String;
            v.text = String();
            return;
        }
        if (c == 't' || c == 'f') {
            Literal(c == 't' ? "true" : "false");
            v.kind = JsonValue::Bool;
            v.boolean = c == 't';
            return;
        }
        if (c == 'n') {
            Literal("null");
            v.kind = JsonValue::Null;
            return;
        }
        Number(v);
    }

    void Object(JsonValue& v) {
        v.kind = JsonValue::Object;
        Expect('{');
        Space();
        if (Peek() == '}') {
            ++m_pos;
            return;
        }
        for (;;) {
            Space();
            std::wstring wname = String();
            int n = WideCharToMultiByte(CP_UTF8, 0, wname.data(), static_cast<int>(wname.size()), nullptr, 0, nullptr, nullptr);
            std::string name(n, '\0');
            WideCharToMultiByte(CP_UTF8, 0, wname.data(), static_cast<int>(wname.size()), &name[0], n, nullptr, nullptr);
            if (v.members.count(name)) Fail("duplicate member");
            Space();
            Expect(':');
            Space();
            Value(v.members[name]);
            v.order.push_back(name);
            Space();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            Expect('}');
            return;
        }
    }

    void Array(JsonValue& v) {
        v.kind = JsonValue::Array;
        Expect('[');
        Space();
        if (Peek() == ']') {
            ++m_pos;
            return;
        }
        for (;;) {
            Space();
            v.items.emplace_back();
            Value(v.items.back());
            Space();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            Expect(']');
            return;
        }
    }

    void Number(JsonValue& v) {
        size_t start = m_pos;
        if (Peek() == '-') ++m_pos;
        if (Peek() == '0') {
            ++m_pos;
        } else if (Peek() >= '1' && Peek() <= '9') {
            while (Peek() >= '0' && Peek() <= '9') ++m_pos;
        } else {
            Fail("not a value");
        }
        if (Peek() == '.') {
            ++m_pos;
            if (!(Peek() >= '0' && Peek() <= '9')) Fail("bad fraction");
            while (Peek() >= '0' && Peek() <= '9') ++m_pos;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-') ++m_pos;
            if (!(Peek() >= '0' && Peek() <= '9')) Fail("bad exponent");
            while (Peek() >= '0' && Peek() <= '9') ++m_pos;
        }
        v.kind = JsonValue::Number;
        v.number = m_s.substr(start, m_pos - start);
    }

    unsigned Hex4() {
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            char c = Peek();
            ++m_pos;
            value <<= 4;
            if (c >= '0' && c <= '9') value |= c - '0';
            else if (c >= 'a' && c <= 'f') value |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') value |= c - 'A' + 10;
            else Fail("bad \\u escape");
        }
        return value;
    }

    std::wstring String() {
        Expect('"');
        std::string raw;  // UTF-8 runs between escapes
        std::wstring out;
        auto flush = [&] {
            if (raw.empty()) return;
            int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw.data(), static_cast<int>(raw.size()), nullptr, 0);
            if (n == 0) Fail("invalid UTF-8");
            std::wstring w(n, L'\0');
            MultiByteToWideChar(CP_UTF8, 0, raw.data(), static_cast<int>(raw.size()), &w[0], n);
            out += w;
            raw.clear();
        };
        for (;;) {
            if (m_pos >= m_s.size()) Fail("unterminated string");
            unsigned char c = static_cast<unsigned char>(m_s[m_pos++]);
            if (c == '"') break;
            if (c < 0x20) Fail("control character in a string");
            if (c != '\\') {
                raw += static_cast<char>(c);
                continue;
            }
            flush();
            char e = Peek();
            ++m_pos;
            switch (e) {
                case '"': out += L'"'; break;
                case '\\': out += L'\\'; break;
                case '/': out += L'/'; break;
                case 'b': out += L'\b'; break;
                case 'f': out += L'\f'; break;
                case 'n': out += L'\n'; break;
                case 'r': out += L'\r'; break;
                case 't': out += L'\t'; break;
                case 'u': out += static_cast<wchar_t>(Hex4()); break;
                default: Fail("bad escape");
            }
        }
        flush();
        return out;
    }

    const std::string& m_s;
    size_t m_pos = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
    static const JsonValue kMissing;
    auto it = members.find(name);
    return it == members.end() ? kMissing : it->second;
}

bool ParseJson(const std::string& utf8, JsonValue& value, std::string& error) {
    Reader reader(utf8);
    try {
        value = JsonValue();
        reader.Document(value);
        return true;
    } catch (const std::exception& e) {
        error = std::string(e.what()) + " at byte " + std::to_string(reader.Position());
        return false;
    }
}
