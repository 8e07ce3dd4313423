#include "NameSelection.h"

#include <algorithm>
#include "Os.h"
#include "Output.h"

namespace pkzip {

bool NameSelection::Load(const std::string& path, std::string& error) {
    std::string text;
    if (!os::ReadWholeFile(path, text)) {
        error = "cannot read the name file " + Shown(path) + ": " + ErrnoText(os::LastError());
        return false;
    }
    SetNames(text);
    return true;
}

void NameSelection::SetNames(std::string_view text) {
    // Names are taken as they stand: blanks, quotes, '*' and a leading '-' are
    // part of them; only the line break ends one.
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view name = text.substr(pos, end - pos);
        if (!name.empty()) {
            names_.try_emplace(std::string(name), Listed{names_.size()});
            if (name.back() == '/') anyFolder_ = true;
        }
        pos = end + 1;
    }
}

bool NameSelection::Selects(std::string_view name) {
    bool selected = false;
    if (auto it = names_.find(std::string(name)); it != names_.end()) {
        it->second.met = true;
        selected = true;
    }
    // Each folder above the entry, "a/", "a/b/", may have been listed.
    if (anyFolder_) {
        for (size_t slash = name.find('/');
             slash != std::string_view::npos && slash + 1 < name.size();
             slash = name.find('/', slash + 1)) {
            if (auto it = names_.find(std::string(name.substr(0, slash + 1))); it != names_.end()) {
                it->second.met = true;
                selected = true;
            }
        }
    }
    return selected;
}

std::vector<std::string> NameSelection::Unmatched() const {
    std::vector<std::pair<size_t, std::string>> left;
    for (const auto& [name, listed] : names_)
        if (!listed.met) left.emplace_back(listed.order, name);
    std::sort(left.begin(), left.end());
    std::vector<std::string> out;
    for (auto& [order, name] : left) out.push_back(std::move(name));
    return out;
}

}  // namespace pkzip
