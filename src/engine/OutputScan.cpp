#include "engine/OutputScan.h"

#include <cmath>
#include <fstream>

#include "engine/JobContext.h"
#include "platform/NativeText.h"
#include "platform/Text.h"

namespace stowaway {

void ArchiverOutputScan::reset() {
    offset_ = 0;
    pending_.clear();
    filesDone_ = 0;
    keptNewer_ = 0;
    toleratedCount_ = 0;
    errors_.clear();
}

void ArchiverOutputScan::feed(const std::string& nativePath) {
    std::ifstream in(toPath(nativePath), std::ios::binary | std::ios::ate);
    if (!in) return;
    auto size = static_cast<std::uint64_t>(static_cast<std::streamoff>(in.tellg()));
    // A file that shrank was started again: count it afresh.
    if (size < offset_) reset();
    if (size == offset_) return;
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string added(static_cast<std::size_t>(size - offset_), '\0');
    in.read(added.data(), static_cast<std::streamsize>(added.size()));
    added.resize(static_cast<std::size_t>(in.gcount()));
    offset_ += added.size();
    feedText(added);
}

void ArchiverOutputScan::feedText(std::string_view added) {
    pending_ += added;
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string_view text(pending_.data() + start, end - start);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        line(text);
    }
    pending_.erase(0, start);
}

void ArchiverOutputScan::finish() {
    std::string_view text(pending_);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (!text.empty()) line(text);
    pending_.clear();
}

void ArchiverOutputScan::line(std::string_view text) {
    std::string_view counted = kind_ == JobKind::Restore ? "Inflating:" : "done.";
    if (text.find(counted) != std::string_view::npos) ++filesDone_;
    if (kind_ == JobKind::Restore && text.find("Kept newer:") != std::string_view::npos)
        ++keptNewer_;
    if (!tolerated_.empty() && ToUpper(text).starts_with("PKZIP: WARNING:") &&
        text.ends_with(tolerated_)) {
        ++toleratedCount_;
        return;
    }
    if (ToUpper(text).find("PKZIP:") != std::string::npos) errors_.emplace_back(Mid(text, 7));
    if (text.starts_with("The last volume of the set went to ")) notes_.emplace_back(text);
}

void MoveJobProgress(const JobContext& ctx, std::int32_t filesDone, std::int32_t filesToDo) {
    JobDisplay& bar = ctx.display;
    // nearbyint rounds halves to the even neighbour.
    double p = filesToDo != 0
                   ? std::nearbyint((static_cast<double>(filesDone) - 1.0) / filesToDo * 100.0)
                   : std::nearbyint(bar.progress());
    if (bar.progress() < p && p < 100)
        bar.setProgress(p);
    else if (p >= 100)
        bar.setProgress(100);
}

}  // namespace stowaway
