#include "engine/versions/FilePick.h"

#include <unordered_set>

#include "engine/Wildcard.h"

namespace stowaway {

namespace {

bool IsWildcard(std::string_view pattern) {
    return pattern.find_first_of("*?#[") != std::string_view::npos;
}

std::string_view LastPart(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// Whether the file entry `name` is one the pattern names.
bool Names(std::string_view pattern, std::string_view name) {
    if (name == pattern) return true;
    // A folder, with or without its closing slash.
    const std::string_view folder =
        !pattern.empty() && pattern.back() == '/' ? pattern.substr(0, pattern.size() - 1) : pattern;
    if (!folder.empty() && name.size() > folder.size() + 1 && name.starts_with(folder) &&
        name[folder.size()] == '/')
        return true;
    if (!IsWildcard(pattern)) return false;
    return pattern.find('/') == std::string_view::npos ? MatchesWildcard(LastPart(name), pattern)
                                                       : MatchesWildcard(name, pattern);
}

}  // namespace

std::vector<VersionEntries> ListVersionEntries(const Platform& platform, const ArchiveName& name) {
    std::vector<VersionEntries> out;
    for (ArchiveVersion& version : FindVersions(platform, name)) {
        VersionEntries entries;
        // An incomplete set's directory may still be whole on its last volume.
        entries.listing = ReadCentralListing(platform, name, version.path);
        entries.version = std::move(version);
        out.push_back(std::move(entries));
    }
    return out;
}

FilePick PickFiles(const std::vector<VersionEntries>& versions,
                   const std::vector<std::string>& patterns, std::optional<std::size_t> only) {
    FilePick pick;
    std::vector<std::string> wanted;
    for (const std::string& pattern : patterns) {
        std::string_view p = pattern;
        while (p.size() > 1 && p.front() == '/') p.remove_prefix(1);
        wanted.emplace_back(p);
    }
    const auto used = [&](std::size_t v) {
        return only ? v == *only : versions[v].problem().empty();
    };
    // A pattern that is some file's exact name names that file only, even when it
    // holds '*' or '['.
    std::vector<bool> exact(wanted.size(), false);
    for (std::size_t v = 0; v < versions.size(); ++v) {
        if (!used(v)) continue;
        for (const ListedEntry& entry : versions[v].listing.entries)
            for (std::size_t p = 0; p < wanted.size(); ++p)
                if (!entry.folder && entry.name == wanted[p]) exact[p] = true;
    }
    std::vector<bool> matched(wanted.size(), false);
    std::unordered_set<std::string> taken;
    for (std::size_t v = 0; v < versions.size(); ++v) {
        if (!used(v)) continue;
        const VersionEntries& version = versions[v];
        for (const ListedEntry& entry : version.listing.entries) {
            if (entry.folder) continue;
            bool named = false;
            for (std::size_t p = 0; p < wanted.size(); ++p) {
                if (exact[p] ? entry.name != wanted[p] : !Names(wanted[p], entry.name)) continue;
                matched[p] = true;
                named = true;
            }
            if (named && taken.insert(entry.name).second)
                pick.files.push_back({version.version.path, version.version.stamp, entry});
        }
    }
    for (std::size_t p = 0; p < patterns.size(); ++p)
        if (!matched[p]) pick.unmatched.push_back(patterns[p]);
    return pick;
}

}  // namespace stowaway
