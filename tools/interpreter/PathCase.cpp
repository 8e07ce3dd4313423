#include "PathCase.h"

#include <vector>

#include "platform/CaseFold.h"
#include "platform/os/File.h"

namespace tools {
namespace {

namespace os = stowaway::os;

bool Exists(const std::string& p) {
    os::FileInfo info;
    return os::StatPath(p, info, false);
}

// The single entry of `dir` equal to `name` ignoring case, or "" if none or several.
std::string FindIgnoringCase(const std::string& dir, const std::string& name) {
    std::string found;
    int matches = 0;
    os::ListFolder(dir.empty() ? std::string(".") : dir, [&](const os::FolderEntry& e) {
        if (stowaway::EqualsFolded(e.name, name)) {
            found = e.name;
            ++matches;
        }
        return true;
    });
    return matches == 1 ? found : std::string();
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
    os::FileInfo info;
    return os::StatPath(path, info) && info.type == os::FileType::File;
}

}  // namespace tools
