#include "Output.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/os/File.h"

namespace pkzip {
namespace {

std::mutex g_lineMutex;
std::atomic<int> g_problems{0};

void WriteLine(std::string_view prefix, std::string_view text) {
    std::lock_guard<std::mutex> lock(g_lineMutex);
    if (!prefix.empty()) std::fwrite(prefix.data(), 1, prefix.size(), stdout);
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool MatchesAt(const std::string& s, size_t pos, std::string_view marker) {
    if (pos + marker.size() > s.size()) return false;
    for (size_t i = 0; i < marker.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[pos + i])) != marker[i]) return false;
    }
    return true;
}

}  // namespace

void Line(std::string_view text) {
    WriteLine({}, text);
}

void Problem(std::string_view text) {
    ++g_problems;
    WriteLine("PKZIP: ", text);
}

int ProblemCount() {
    return g_problems.load();
}

std::string Shown(std::string_view name) {
    std::string s(name);
    for (char& c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = '?';
    }
    static constexpr std::string_view kMarkers[] = {"done.", "inflating:", "pkzip:", "kept newer:"};
    for (size_t pos = 0; pos < s.size(); ++pos) {
        for (std::string_view m : kMarkers) {
            if (MatchesAt(s, pos, m)) s[pos + m.size() - 1] = '?';
        }
    }
    return s;
}

std::string ErrnoText(int err) {
    return stowaway::os::ErrorText(err);
}

}  // namespace pkzip
