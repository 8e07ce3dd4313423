#include "NameIndex.h"

#include <stdexcept>
#include <utility>

namespace pkzip {
namespace {

size_t Hash(std::string_view name) {
    return std::hash<std::string_view>()(name);
}

uint32_t Tag(size_t h) {
    return static_cast<uint32_t>(static_cast<uint64_t>(h) >> 32);
}

}  // namespace

void NameIndex::Size(size_t count) {
    size_t size = 16;
    while (size < 2 * count) size *= 2;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    count_ = 0;
}

size_t NameIndex::Probe(std::string_view name, size_t h) const {
    const uint32_t tag = Tag(h);
    for (size_t at = h & mask_;; at = (at + 1) & mask_) {
        const Slot& s = slots_[at];
        if (s.entry == kEmpty || (s.tag == tag && nameOf_(s.entry) == name)) return at;
    }
}

void NameIndex::Build(size_t count, NameOf nameOf, const std::function<bool(size_t)>& take) {
    if (count >= kEmpty) throw std::length_error("too many entries to index");
    nameOf_ = std::move(nameOf);
    Size(count);
    for (size_t i = 0; i < count; ++i) {
        if (take && !take(i)) continue;
        const std::string_view name = nameOf_(i);
        const size_t h = Hash(name);
        Slot& s = slots_[Probe(name, h)];
        if (s.entry != kEmpty) continue;  // the first one stays
        s = {static_cast<uint32_t>(i), Tag(h)};
        ++count_;
    }
}

void NameIndex::Start(NameOf nameOf) {
    nameOf_ = std::move(nameOf);
    Size(0);
}

bool NameIndex::Insert(size_t i) {
    if (i >= kEmpty) throw std::length_error("too many entries to index");
    if (2 * (count_ + 1) > slots_.size()) {
        std::vector<Slot> old = std::move(slots_);
        const size_t count = count_;
        Size(count + 1);
        for (const Slot& s : old) {
            if (s.entry == kEmpty) continue;
            size_t at = Hash(nameOf_(s.entry)) & mask_;
            while (slots_[at].entry != kEmpty) at = (at + 1) & mask_;
            slots_[at] = s;
        }
        count_ = count;
    }
    const std::string_view name = nameOf_(i);
    const size_t h = Hash(name);
    Slot& s = slots_[Probe(name, h)];
    if (s.entry != kEmpty) return false;
    s = {static_cast<uint32_t>(i), Tag(h)};
    ++count_;
    return true;
}

size_t NameIndex::Find(std::string_view name) const {
    if (slots_.empty()) return kNone;
    const Slot& s = slots_[Probe(name, Hash(name))];
    return s.entry == kEmpty ? kNone : s.entry;
}

}  // namespace pkzip
