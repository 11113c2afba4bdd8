#include "StatusText.h"

#include "ListRender.h"
#include "UiText.h"
#include "WinHostRes.h"
#include "WinText.h"

std::wstring CountText(size_t nShown, size_t nTotal, long long nShownBytes) {
    const std::wstring size = FromUtf8(HumanSize(nShownBytes));
    if (nShown == nTotal) return UiFormat(IDS_STATUS_COUNT, static_cast<unsigned>(nTotal), size.c_str());
    return UiFormat(IDS_STATUS_SHOWN, static_cast<unsigned>(nShown), static_cast<unsigned>(nTotal), size.c_str());
}

std::wstring PhaseText(ListPhase phase, double seconds) {
    switch (phase) {
        case ListPhase::Starting: return UiString(IDS_STATUS_STARTING);
        case ListPhase::Reading: return UiFormat(IDS_STATUS_READING, seconds);
        case ListPhase::CacheChecking: return UiFormat(IDS_STATUS_CHECKING_CACHE, seconds);
        case ListPhase::Read: return UiFormat(IDS_STATUS_READ, seconds);
    }
    return L"";
}
