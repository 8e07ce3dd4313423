#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/JobKind.h"

namespace stowaway {

struct JobContext;

// Reads the archiver's captured output as it grows: each feed reads only what was
// added since the last one, and counts complete lines. finish() takes the last,
// unterminated line as well.
class ArchiverOutputScan {
  public:
    // A "PKZIP: warning:" line ending in tolerated is counted apart, not as an error.
    explicit ArchiverOutputScan(JobKind kind, std::string tolerated = {})
        : kind_(kind), tolerated_(std::move(tolerated)) {}

    void feed(const std::string& nativePath);
    // The same for text shown on a console.
    void feedText(std::string_view added);
    void finish();

    std::int32_t filesDone() const { return filesDone_; }
    // Restore: files the archiver kept because they are newer than the archive's copy.
    std::int32_t keptNewer() const { return keptNewer_; }
    bool ok() const { return errors_.empty(); }
    std::int32_t toleratedWarnings() const { return toleratedCount_; }
    // Error lines without their first seven characters, as the log carries them.
    const std::vector<std::string>& errors() const { return errors_; }
    // Lines the log keeps as they are: where a spanned set's last volume went.
    const std::vector<std::string>& notes() const { return notes_; }

  private:
    void reset();
    void line(std::string_view text);

    JobKind kind_;
    std::string tolerated_;
    std::int32_t toleratedCount_ = 0;
    std::uint64_t offset_ = 0;
    std::string pending_;
    std::int32_t filesDone_ = 0;
    std::int32_t keptNewer_ = 0;
    std::vector<std::string> errors_;
    std::vector<std::string> notes_;
};

// The progress rule: (done - 1) / toDo as a percentage, halves to even; the bar
// never moves back and never passes 100. With nothing to do it stays.
void MoveJobProgress(const JobContext& ctx, std::int32_t filesDone, std::int32_t filesToDo);

}  // namespace stowaway
