// The entries a restore given @NAMEFILE writes: the names listed, exactly as
// the central directory holds them, and everything under a listed "dir/".
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pkzip {

class NameSelection {
  public:
    // Reads the name file: UTF-8, one name per line, empty lines skipped.
    // False with `error` set when it cannot be read.
    bool Load(const std::string& path, std::string& error);
    // Takes the names from text as Load reads them from a file.
    void SetNames(std::string_view text);

    // Whether the entry `name` was asked for (as itself or below a listed
    // folder); remembers which listed names were met.
    bool Selects(std::string_view name);
    // The listed names that selected nothing, in the order given.
    std::vector<std::string> Unmatched() const;

  private:
    struct Listed {
        size_t order;
        bool met = false;
    };
    std::unordered_map<std::string, Listed> names_;
    bool anyFolder_ = false;
};

}  // namespace pkzip
