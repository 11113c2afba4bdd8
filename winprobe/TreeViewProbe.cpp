#include "TreeViewProbe.h"

#include "RemoteMemory.h"

#include <cstring>

namespace {

constexpr int kTextChars = 1024;
constexpr size_t kTextOffset = sizeof(TVITEMW);

HTREEITEM Next(HWND tree, HTREEITEM from, UINT how) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(from)));
}

bool ReadItem(HWND tree, const RemoteMemory& mem, TreeNode& node) {
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
    item.hItem = node.item;
    item.stateMask = TVIS_STATEIMAGEMASK;
    item.pszText = static_cast<LPWSTR>(mem.at(kTextOffset));
    item.cchTextMax = kTextChars;
    if (!mem.Write(0, &item, sizeof(item))) return false;
    wchar_t empty = 0;
    if (!mem.Write(kTextOffset, &empty, sizeof(empty))) return false;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(mem.at()))) return false;
    if (!mem.Read(0, &item, sizeof(item))) return false;
    std::wstring text(kTextChars, L'\0');
    if (!mem.Read(kTextOffset, &text[0], kTextChars * sizeof(wchar_t))) return false;
    text.resize(wcsnlen(text.c_str(), kTextChars));
    node.text = text;
    node.param = item.lParam;
    // State image 1 is the empty box, 2 the ticked one.
    node.checked = ((item.state & TVIS_STATEIMAGEMASK) >> 12) == 2;
    return true;
}

bool Walk(HWND tree, const RemoteMemory& mem, HTREEITEM first, int level, std::vector<TreeNode>& nodes) {
    for (HTREEITEM h = first; h; h = Next(tree, h, TVGN_NEXT)) {
        TreeNode node;
        node.item = h;
        node.level = level;
        if (!ReadItem(tree, mem, node)) return false;
        nodes.push_back(node);
        if (!Walk(tree, mem, Next(tree, h, TVGN_CHILD), level + 1, nodes)) return false;
    }
    return true;
}

}  // namespace

bool ReadTree(HWND tree, std::vector<TreeNode>& nodes) {
    nodes.clear();
    RemoteMemory mem(tree, kTextOffset + kTextChars * sizeof(wchar_t));
    return mem.valid() && Walk(tree, mem, Next(tree, nullptr, TVGN_ROOT), 0, nodes);
}

bool CheckBoxPoint(HWND tree, HTREEITEM item, POINT& point) {
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    RemoteMemory mem(tree, sizeof(TVHITTESTINFO) + sizeof(RECT));
    RECT label{};
    // TVM_GETITEMRECT takes the item's handle in the rectangle it fills.
    memcpy(&label, &item, sizeof(item));
    if (!mem.Write(0, &label, sizeof(label))) return false;
    if (!SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(mem.at()))) return false;
    if (!mem.Read(0, &label, sizeof(label))) return false;
    // The check box lies left of the label (and of the item's icon, if any): found by asking the tree itself.
    int y = (label.top + label.bottom) / 2;
    int right = -1, left = -1;
    for (int x = label.left - 1; x >= 0; --x) {
        TVHITTESTINFO hit{};
        hit.pt = {x, y};
        if (!mem.Write(0, &hit, sizeof(hit))) return false;
        SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(mem.at()));
        if (!mem.Read(0, &hit, sizeof(hit))) return false;
        bool onBox = (hit.flags & TVHT_ONITEMSTATEICON) && hit.hItem == item;
        if (onBox) {
            if (right < 0) right = x;
            left = x;
        } else if (right >= 0) {
            break;
        }
    }
    if (right < 0) return false;
    point = {(left + right) / 2, y};
    return true;
}
