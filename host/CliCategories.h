// Categories as the user names them on the command line: by name or by the id that `kxuninst categories`
// prints.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CategoryItem.h"

struct CategoryName {
    UINT id;
    std::wstring name;
};

// Section List of the category file ("id.name" lines), in file order; empty when there is none.
std::vector<CategoryName> ReadCategoryTable(const std::wstring& iniPath);

// The categories the component counts and those of the table it does not list (categories without programs), by
// id; a name the component lists comes with the component's id.
std::vector<CategoryName> KnownCategories(const std::vector<CCategoryItem>& listed,
                                          const std::vector<CategoryName>& table);

// A known name, or the id of a known category: its name. Otherwise false, with a message that lists them.
bool ResolveCategory(const std::wstring& arg, const std::vector<CategoryName>& known, std::wstring& name,
                     std::wstring& error);
