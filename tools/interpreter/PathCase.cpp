#include "PathCase.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/CaseFold.h"
#include "platform/NativeText.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& p) {
    std::error_code ec;
    return fs::symlink_status(stowaway::toPath(p), ec).type() != fs::file_type::not_found && !ec;
}

// The single entry of `dir` equal to `name` ignoring case, or "" if none or several.
std::string FindIgnoringCase(const std::string& dir, const std::string& name) {
    std::error_code ec;
    fs::directory_iterator it(stowaway::toPath(dir.empty() ? "." : dir), ec);
    if (ec) return {};
    std::string found;
    int matches = 0;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string entry = stowaway::fromPath(it->path().filename());
        if (stowaway::EqualsFolded(entry, name)) {
            found = entry;
            ++matches;
        }
    }
    return matches == 1 && !ec ? found : std::string();
}

}  // namespace

std::string ResolvePathCase(const std::string& path) {
    if (path.empty() || Exists(path)) return path;

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }

    std::string result = path[0] == '/' ? "/" : "";
    bool matching = true;
    bool first = true;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        std::string next = result;
        if (!first && !next.empty() && next.back() != '/') next += '/';
        first = false;
        if (matching && !Exists(next + part) && part != "." && part != "..") {
            const std::string found = FindIgnoringCase(result, part);
            if (found.empty()) {
                matching = false;
                next += part;
            } else {
                next += found;
            }
        } else {
            next += part;
        }
        result = next;
    }
    if (!path.empty() && path.back() == '/' && (result.empty() || result.back() != '/')) {
        result += '/';
    }
    return result;
}

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(stowaway::toPath(path), ec);
}

}  // namespace tools
