#include "store/CrateRecord.h"

namespace stowaway {

void CrateRecord::SetEntry(std::vector<std::string>& list, int j, std::string text) {
    if (j < 0 || j > MaxEntryIndex) return;
    if (static_cast<int>(list.size()) <= j) list.resize(static_cast<std::size_t>(j) + 1);
    list[static_cast<std::size_t>(j)] = std::move(text);
}

const std::string& CrateRecord::Entry(const std::vector<std::string>& list, int j) {
    static const std::string empty;
    if (j < 0 || j >= static_cast<int>(list.size())) return empty;
    return list[static_cast<std::size_t>(j)];
}

void CrateStore::clearTable() {
    for (CrateRecord& record : CrateTable) record = CrateRecord{};
    CrateMax = -1;
    CurrentIndex = -1;
}

}  // namespace stowaway
