// The component's lists as the list code works on them, handed over by reference: the soft list (0x20), the
// category list (0x100), the flag that says whether the host has been told the list is ready, and the
// notifier that posts WM_LISTMGR to the host's listener windows. Whoever holds a SoftLists holds m_csList.
#pragma once

#include <windows.h>

#include <vector>

#include "KxUninstIf.h"

class CSoftItem;
class CCategoryItem;

// Posts one WM_LISTMGR to the windows listening for the list type in the high word of wParam.
class IListNotifier {
public:
    virtual void Post(WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IListNotifier() = default;
};

// wParam of a notification: the list type in the high word, the action bits in the low word.
inline WPARAM ListAction(UINT nType, UINT nAct) { return MAKEWPARAM(nAct, nType); }

struct SoftLists {
    std::vector<CSoftItem*>& vecSoft;
    std::vector<CCategoryItem*>& vecCategory;
    BOOL& bListReady;
    IListNotifier& notifier;

    void Notify(UINT nType, UINT nAct, LPARAM lParam) { notifier.Post(ListAction(nType, nAct), lParam); }
};

// Destroys every record of an owning list and empties it.
template <typename T>
void DeleteAll(std::vector<T*>& list) {
    for (T* p : list) delete p;
    list.clear();
}
