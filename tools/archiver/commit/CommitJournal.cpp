#include "CommitJournal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "FileSteps.h"
#include "Names.h"
#include "Os.h"

namespace pkzip::commit {
namespace {

constexpr const char* kMagic = "pkzip-commit 1";

// Paths may hold any byte but NUL: tab, newline and '%' are escaped.
std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        char* end = nullptr;
        const std::string hex = s.substr(i + 1, 2);
        const long v = std::strtol(hex.c_str(), &end, 16);
        if (end != hex.c_str() + 2) return false;
        out += static_cast<char>(v);
        i += 2;
    }
    return true;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    size_t pos = 0;
    for (;;) {
        const size_t tab = line.find('\t', pos);
        out.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
        if (tab == std::string::npos) return out;
        pos = tab + 1;
    }
}

}  // namespace

std::string JournalPath(const std::string& archive) {
    const size_t slash = archive.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : archive.substr(0, slash);
    const std::string leaf = slash == std::string::npos ? archive : archive.substr(slash + 1);
    return (slash == 0 ? std::string() : folder) + "/." + leaf + ".pkzip-commit";
}

bool WriteJournal(const std::string& path, const Journal& j, std::string& error) {
    std::ostringstream s;
    s << kMagic << "\n";
    s << "host\t" << Escape(j.host) << "\tpid\t" << j.pid << "\n";
    for (const AsideFile& a : j.aside)
        s << "aside\t" << Escape(a.final) << "\t" << Escape(a.aside) << "\n";
    for (const NewVolume& v : j.place) {
        s << "place\t" << Escape(v.work) << "\t" << Escape(v.final) << "\t" << v.dev << "\t"
          << v.ino << "\n";
    }
    for (const std::string& p : j.stale) s << "stale\t" << Escape(p) << "\n";
    s << "end\n";
    const std::string text = s.str();
    const os::Handle fd = os::Open(path, os::kWrite | os::kCreate | os::kExclusive, 0600);
    if (fd == os::kNoHandle) {
        error = "cannot create the commit journal " + path + ": " + os::ErrorText(os::LastError());
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const int64_t n = os::Write(fd, text.data() + done, text.size() - done);
        if (n < 0 && os::LastError() == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const int err = os::LastError();
    const bool ok = done == text.size() && os::Sync(fd);
    os::Close(fd);
    if (!ok) {
        os::Remove(path);
        error = "cannot write the commit journal " + path + ": " + os::ErrorText(err ? err : EIO);
        return false;
    }
    SyncFolder(FolderOf(path));
    return true;
}

bool ReadJournal(const std::string& path, Journal& j, bool& missing, std::string& error) {
    missing = false;
    j = Journal{};
    const os::Handle fd = os::Open(path, os::kRead | os::kSource);
    if (fd == os::kNoHandle) {
        missing = os::LastError() == ENOENT;
        error = os::ErrorText(os::LastError());
        return false;
    }
    std::string text;
    char buf[8192];
    for (;;) {
        const int64_t n = os::Read(fd, buf, sizeof buf);
        if (n < 0 && os::LastError() == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
        if (text.size() > (64u << 20)) break;
    }
    os::Close(fd);
    std::istringstream in(text);
    std::string line;
    bool sawEnd = false;
    if (!std::getline(in, line) || line != kMagic) {
        error = "not a commit journal";
        return false;
    }
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        std::string a, b;
        if (f[0] == "end" && f.size() == 1) {
            sawEnd = true;
            break;
        } else if (f[0] == "host" && f.size() == 4 && f[2] == "pid") {
            if (!Unescape(f[1], j.host)) break;
            j.pid = std::strtol(f[3].c_str(), nullptr, 10);
        } else if (f[0] == "aside" && f.size() == 3 && Unescape(f[1], a) && Unescape(f[2], b)) {
            j.aside.push_back({a, b});
        } else if (f[0] == "place" && f.size() == 5 && Unescape(f[1], a) && Unescape(f[2], b)) {
            j.place.push_back({a, b, std::strtoull(f[3].c_str(), nullptr, 10),
                               std::strtoull(f[4].c_str(), nullptr, 10)});
        } else if (f[0] == "stale" && f.size() == 2 && Unescape(f[1], a)) {
            j.stale.push_back(a);
        } else {
            break;
        }
    }
    if (!sawEnd) {
        error = "the commit journal is incomplete";
        return false;
    }
    return true;
}

}  // namespace pkzip::commit
