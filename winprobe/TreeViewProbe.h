// A TreeView with check boxes in another process, read through its own messages.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

struct TreeNode {
    HTREEITEM item = nullptr;
    int level = 0;  // 0 for a root
    bool checked = false;
    LPARAM param = 0;
    std::wstring text;
};

// Every item, depth first in display order (collapsed branches too); false when the control cannot be read.
bool ReadTree(HWND tree, std::vector<TreeNode>& nodes);
// The client point in the middle of the item's check box, after scrolling the item into view.
bool CheckBoxPoint(HWND tree, HTREEITEM item, POINT& point);
