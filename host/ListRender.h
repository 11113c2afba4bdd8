// The CLI's views of the lists: aligned text tables for people, JSON arrays for programs.
#pragma once

#include <string>
#include <vector>

#include "CategoryItem.h"
#include "SoftItem.h"

// "-" for 0, else bytes in binary units with one decimal: "512 B", "1.5 KB", "23.4 MB".
std::string HumanSize(long long bytes);
// The usage class of a program's folder in words.
std::string UseLabel(unsigned use);
// Terminal columns of a text: East Asian wide and full-width characters take two.
size_t DisplayWidth(const std::wstring& s);
// A JSON string literal (quotes included) in UTF-8.
std::string JsonString(const std::wstring& s);

std::string SoftTable(const std::vector<CSoftItem>& items);
// Every field a soft item carries on the wire, under its own name, in wire order.
std::string SoftJson(const std::vector<CSoftItem>& items);
std::string CategoryTable(const std::vector<CCategoryItem>& items);
std::string CategoryJson(const std::vector<CCategoryItem>& items);
