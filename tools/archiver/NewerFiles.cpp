#include "NewerFiles.h"

#include <cctype>

namespace pkzip {

bool DiskCopyIsNewer(int64_t diskSeconds, int64_t archiveSeconds, bool dosTimeOnly) {
    const int64_t slack = dosTimeOnly ? 2 : 0;
    return diskSeconds > archiveSeconds + slack;
}

std::optional<ReplaceAnswer> ParseReplaceAnswer(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    std::string word;
    for (char c : text) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "y" || word == "yes") return ReplaceAnswer::Yes;
    if (word == "n" || word == "no") return ReplaceAnswer::No;
    if (word == "a" || word == "all") return ReplaceAnswer::All;
    if (word == "none") return ReplaceAnswer::None;
    return std::nullopt;
}

bool NewerFileGate::MayReplace(const std::string& shown) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (always_) return *always_;
    if (!ask_) return false;
    for (;;) {
        const std::optional<std::string> line = ask_(shown);
        if (!line) {
            // The input ended: nobody will answer the next questions either.
            always_ = false;
            return false;
        }
        const std::optional<ReplaceAnswer> answer = ParseReplaceAnswer(*line);
        if (!answer) continue;  // asked again
        switch (*answer) {
            case ReplaceAnswer::Yes:
                return true;
            case ReplaceAnswer::No:
                return false;
            case ReplaceAnswer::All:
                always_ = true;
                return true;
            case ReplaceAnswer::None:
                always_ = false;
                return false;
        }
    }
}

}  // namespace pkzip
