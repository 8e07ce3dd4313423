// Finds an entry by name without a copy of the names: a table of entry
// numbers (open addressing, at most half full) that reads each name where it
// already lies, such as in an archive's central directory.
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
    // The entry called `name`, or kNone.
    size_t Find(std::string_view name) const;

  private:
    static constexpr uint32_t kEmpty = UINT32_MAX;
    NameOf nameOf_;
    std::vector<uint32_t> slots_;
    size_t mask_ = 0;
};

}  // namespace pkzip
