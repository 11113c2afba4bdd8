// JSON objects written field by field, for the CLI's --json views.
#pragma once

#include <string>

#include "ListRender.h"

// JSON objects written field by field.
class JsonObject {
public:
    explicit JsonObject(std::string indent) : m_indent(std::move(indent)) {}
    JsonObject& Text(const char* name, const std::wstring& value) { return Raw(name, JsonString(value)); }
    JsonObject& Number(const char* name, long long value) { return Raw(name, std::to_string(value)); }
    JsonObject& Unsigned(const char* name, unsigned long long value) { return Raw(name, std::to_string(value)); }
    JsonObject& Bool(const char* name, bool value) { return Raw(name, value ? "true" : "false"); }
    JsonObject& Raw(const char* name, const std::string& value) {
        m_out += m_first ? "" : ",";
        m_out += m_indent.empty() ? (m_first ? "" : " ") : "\n" + m_indent;
        m_out += "\"" + std::string(name) + "\": " + value;
        m_first = false;
        return *this;
    }
    // Multi-line objects close on a line of their own, indented one level less.
    std::string Close() const {
        if (m_indent.empty()) return "{" + m_out + "}";
        return "{" + m_out + "\n" + m_indent.substr(2) + "}";
    }

private:
    std::string m_indent;
    std::string m_out;
    bool m_first = true;
};
