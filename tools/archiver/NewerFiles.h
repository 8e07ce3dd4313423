// A file on disk that is newer than the archive's copy is never replaced
// without asking: someone at the console answers per file (yes / no / all /
// none); without anyone there the newer file is kept.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pkzip {

// Whether the file on disk was changed after the archive's copy. Whole
// seconds: the archive keeps a time at most to 100 ns, the disk to 1 ns, so a
// file restored from it, or never touched since, would otherwise look newer.
// A DOS time steps by 2 seconds, rounded either way by other zip tools.
bool DiskCopyIsNewer(int64_t diskSeconds, int64_t archiveSeconds, bool dosTimeOnly);

enum class ReplaceAnswer { Yes, No, All, None };
// "y", "yes", "n", "no", "a", "all", "none" in any letter case, blanks
// around ignored; nullopt for anything else.
std::optional<ReplaceAnswer> ParseReplaceAnswer(std::string_view text);

class NewerFileGate {
  public:
    // Asks about one file (its name as shown) and returns the line typed,
    // nullopt at the end of the input.
    using Ask = std::function<std::optional<std::string>(const std::string& shown)>;

    // Without `ask` nobody is there to answer and every newer file is kept.
    explicit NewerFileGate(Ask ask) : ask_(std::move(ask)) {}

    // Whether the newer file `shown` may be replaced. Threads ask one at a
    // time; "all" and "none" answer every later question.
    bool MayReplace(const std::string& shown);

  private:
    Ask ask_;
    std::mutex mutex_;
    std::optional<bool> always_;
};

}  // namespace pkzip
