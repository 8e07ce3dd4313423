#include "VolumePlan.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "FileSteps.h"
#include "Names.h"
#include "Os.h"
#include "WorkOwner.h"

namespace pkzip::commit {
namespace {

std::string LeafPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::string& path) {
    os::FileInfo st;
    return os::StatPath(path, st, false);
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
    std::string out;
    if (!os::RealPath(folder, out)) return path;
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
    j.pid = os::ProcessId();
    j.aside.clear();
    j.place.clear();
    j.stale.clear();

    std::set<std::string> newFinals;  // canonical
    std::set<std::pair<uint64_t, uint64_t>> newFiles;
    for (const auto& [work, final] : newSet.toPlace) {
        os::FileInfo st;
        if (!os::StatPath(work, st, false)) {
            error = "cannot look at the new volume " + work + ": " + os::ErrorText(os::LastError());
            return false;
        }
        j.place.push_back({work, final, st.device, st.index});
        newFinals.insert(CanonicalPath(final));
        newFiles.insert({st.device, st.index});
    }
    for (const std::string& p : newSet.placed) {
        os::FileInfo st;
        newFinals.insert(CanonicalPath(p));
        if (os::StatPath(p, st, false)) newFiles.insert({st.device, st.index});
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
        os::FileInfo st;
        if (!os::StatPath(old, st, false)) continue;
        if (newFiles.count({st.device, st.index}) > 0) continue;
        j.stale.push_back(old);
    }
    return true;
}

}  // namespace pkzip::commit
