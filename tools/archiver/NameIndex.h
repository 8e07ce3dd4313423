// Finds an entry by name without a copy of the names: a table of entry
// numbers (open addressing, at most half full) that reads each name where it
// already lies, such as in an archive's central directory. Part of each
// name's hash is kept beside its number, so that a look-up reads hardly any
// name but the one it finds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace pkzip {

class NameIndex {
  public:
    using NameOf = std::function<std::string_view(size_t)>;
    static constexpr size_t kNone = SIZE_MAX;

    NameIndex() = default;
    // Indexes the entries 0..count-1 for which `take` holds (all without it);
    // of several entries with one name the first is found.
    void Build(size_t count, NameOf nameOf, const std::function<bool(size_t)>& take = {});
    // An empty index that grows with Insert.
    void Start(NameOf nameOf);
    // Adds entry `i` unless an entry of its name is there already (false then).
    bool Insert(size_t i);
    // The entry called `name`, or kNone.
    size_t Find(std::string_view name) const;

  private:
    static constexpr uint32_t kEmpty = UINT32_MAX;
    struct Slot {
        uint32_t entry = kEmpty;
        uint32_t tag = 0;  // the hash's upper half
    };
    void Size(size_t count);
    // Where `name` (of hash `h`) is, or the empty slot where it would go.
    size_t Probe(std::string_view name, size_t h) const;

    NameOf nameOf_;
    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t count_ = 0;
};

}  // namespace pkzip
