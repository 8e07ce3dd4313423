#include "NameIndex.h"

#include <stdexcept>
#include <utility>

namespace pkzip {

void NameIndex::Build(size_t count, NameOf nameOf, const std::function<bool(size_t)>& take) {
    if (count >= kEmpty) throw std::length_error("too many entries to index");
    nameOf_ = std::move(nameOf);
    size_t size = 16;
    while (size < 2 * count) size *= 2;
    slots_.assign(size, kEmpty);
    mask_ = size - 1;
    const std::hash<std::string_view> hash;
    for (size_t i = 0; i < count; ++i) {
        if (take && !take(i)) continue;
        const std::string_view name = nameOf_(i);
        for (size_t at = hash(name) & mask_;; at = (at + 1) & mask_) {
            if (slots_[at] == kEmpty) {
                slots_[at] = static_cast<uint32_t>(i);
                break;
            }
            if (nameOf_(slots_[at]) == name) break;  // the first one stays
        }
    }
}

size_t NameIndex::Find(std::string_view name) const {
    if (slots_.empty()) return kNone;
    for (size_t at = std::hash<std::string_view>()(name) & mask_;; at = (at + 1) & mask_) {
        const uint32_t i = slots_[at];
        if (i == kEmpty) return kNone;
        if (nameOf_(i) == name) return i;
    }
}

}  // namespace pkzip
