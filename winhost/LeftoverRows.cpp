#include "LeftoverRows.h"

#include <map>
#include <string>

#include "LowerText.h"
#include "PathText.h"

std::vector<size_t> LeftoverRowOf(const std::vector<Leftover>& list) {
    std::vector<size_t> rows(list.size());
    std::map<std::wstring, size_t> firstOfPath;  // within the current group
    for (size_t i = 0; i < list.size(); ++i) {
        rows[i] = i;
        if (!list[i].IsEntry()) {
            firstOfPath.clear();
            continue;
        }
        const auto first = firstOfPath.emplace(kx::Lower(kx::TrimSlashes(list[i].item.Path)), i).first;
        rows[i] = first->second;
    }
    return rows;
}
