#include "VolumePlan.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "FileSteps.h"
#include "Names.h"
#include "WorkOwner.h"

namespace pkzip::commit {
namespace {

std::string LeafPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// A hidden name beside `final` that nothing else uses.
std::string AsideName(const std::string& final, const std::set<std::string>& taken) {
    const std::string folder = FolderOf(final);
    const std::string base =
        (folder == "/" ? "" : folder) + "/." + LeafPart(final) + ".pkzip-aside";
    std::string name = base;
    for (int n = 2; Exists(name) || taken.count(name) > 0; ++n) name = base + std::to_string(n);
    return name;
}

}  // namespace

std::string CanonicalPath(const std::string& path) {
    const std::string folder = FolderOf(path);
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string out = real;
    std::free(real);
    return (out == "/" ? "" : out) + "/" + LeafPart(path);
}

std::vector<std::string> RemovedOldFiles(const Journal& j) {
    std::vector<std::string> out;
    for (const AsideFile& a : j.aside) {
        bool replaced = false;
        for (const NewVolume& v : j.place) replaced = replaced || v.final == a.final;
        if (!replaced) out.push_back(a.final);
    }
    out.insert(out.end(), j.stale.begin(), j.stale.end());
    return out;
}

bool PlanCommit(const std::string& archive, const std::vector<std::string>& oldVolumes,
                const NewSet& newSet, Journal& j, std::string& error) {
    j.host = ThisHost();
    j.pid = static_cast<long>(::getpid());
    j.aside.clear();
    j.place.clear();
    j.stale.clear();

    std::set<std::string> newFinals;  // canonical
    std::set<std::pair<uint64_t, uint64_t>> newFiles;
    for (const auto& [work, final] : newSet.toPlace) {
        struct stat st;
        if (::lstat(work.c_str(), &st) != 0) {
            error = "cannot look at the new volume " + work + ": " + std::strerror(errno);
            return false;
        }
        j.place.push_back(
            {work, final, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
        newFinals.insert(CanonicalPath(final));
        newFiles.insert({st.st_dev, st.st_ino});
    }
    for (const std::string& p : newSet.placed) {
        struct stat st;
        newFinals.insert(CanonicalPath(p));
        if (::lstat(p.c_str(), &st) == 0) newFiles.insert({st.st_dev, st.st_ino});
    }

    // The old NAME.zip goes first: while the new volumes move in, no reader
    // finds a last volume that does not belong to the volumes beside it.
    std::set<std::string> asideNames;
    std::set<std::string> moved;  // canonical
    const auto putAside = [&](const std::string& final) {
        const std::string canon = CanonicalPath(final);
        if (moved.count(canon) > 0 || !Exists(final)) return;
        const std::string aside = AsideName(final, asideNames);
        asideNames.insert(aside);
        moved.insert(canon);
        j.aside.push_back({final, aside});
    };
    if (!oldVolumes.empty()) putAside(archive);
    for (const auto& [work, final] : newSet.toPlace) putAside(final);

    for (const std::string& old : oldVolumes) {
        const std::string canon = CanonicalPath(old);
        if (moved.count(canon) > 0 || newFinals.count(canon) > 0) continue;
        struct stat st;
        if (::lstat(old.c_str(), &st) != 0) continue;
        if (newFiles.count({st.st_dev, st.st_ino}) > 0) continue;
        j.stale.push_back(old);
    }
    return true;
}

}  // namespace pkzip::commit
