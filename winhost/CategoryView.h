// The category pane: a one-column report ListView, "name (count)" per category, the category of all software
// first; selecting one filters the program list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CategoryItem.h"

// "name (count)".
std::wstring CategoryLabel(const CCategoryItem& item);

class CategoryView {
public:
    bool Create(HWND hParent, UINT dpi);
    HWND Hwnd() const { return m_hWnd; }

    // Replaces the rows; the selected category stays selected while it exists, else all software is.
    void Show(std::vector<CCategoryItem> items);
    // The selected category; null when none is (all software is then shown).
    const CCategoryItem* Selected() const;
    // The first row, all software, is selected (or nothing is).
    bool SelectedIsAll() const;
    void Clear();
    void FitColumn();

private:
    HWND m_hWnd = nullptr;
    std::vector<CCategoryItem> m_vecItems;
};
