#include "Names.h"

#include "commit/CommitJournal.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Os.h"

namespace pkzip {
namespace {

bool HasBackslashParent(std::string_view part) {
    size_t pos = 0;
    while (pos <= part.size()) {
        size_t bs = part.find('\\', pos);
        if (bs == std::string_view::npos) bs = part.size();
        if (part.substr(pos, bs - pos) == "..") return true;
        pos = bs + 1;
    }
    return false;
}

}  // namespace

std::optional<std::string> StoredName(std::string_view path) {
    std::string out;
    size_t pos = os::DriveLength(path);
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view part = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        if (!out.empty()) out += '/';
        out += part;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

std::optional<std::vector<std::string>> SafeComponents(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return std::nullopt;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t slash = name.find('/', pos);
        if (slash == std::string_view::npos) slash = name.size();
        std::string_view part = name.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (parts.empty()) return std::nullopt;
            parts.pop_back();
            continue;
        }
        // A name made on Windows may use a backslash as separator: "..\x" must not pass.
        if (HasBackslashParent(part)) return std::nullopt;
        parts.emplace_back(part);
    }
    if (parts.empty()) return std::nullopt;
    return parts;
}

bool SafeRelativePath(std::string_view name, std::string& out) {
    out.clear();
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        return false;
    }
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t slash = name.find('/', pos);
        if (slash == std::string_view::npos) slash = name.size();
        const std::string_view part = name.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (out.empty()) return false;
            const size_t cut = out.rfind('/');
            out.resize(cut == std::string::npos ? 0 : cut);
            continue;
        }
        if (HasBackslashParent(part)) return false;
        if (!out.empty()) out += '/';
        out += part;
    }
    return !out.empty();
}

bool IsAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c >= 0x80) return false;
    }
    return true;
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra;
        unsigned min;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool ResolveArchivePath(std::string& path, std::string& why) {
    if (std::string real; os::RealPath(path, real)) {
        path = real;
        return true;
    }
    const int err = os::LastError();
    os::FileInfo st;
    if (os::StatPath(path, st, false) && (st.type == os::FileType::Link)) {
        std::string target;
        const bool read = os::ReadLink(path, target) && !target.empty();
        // Its target is only away while a commit of it was cut short: the
        // run that settles the commit puts it back.
        if (read) {
            std::string real = target;
            if (real[0] != '/') real = FolderOf(path) + "/" + real;
            os::FileInfo js;
            if (os::StatPath(commit::JournalPath(real), js, false)) {
                path = real;
                return true;
            }
        }
        why = "is a symbolic link to " + (read ? target : std::string("a place")) +
              " that cannot be reached (" + os::ErrorText(err) + ")";
        // A link in a loop or to a missing folder: nothing may replace it.
        return false;
    }
    return true;  // not there yet: a new archive under this name
}

std::string LeafOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace pkzip
