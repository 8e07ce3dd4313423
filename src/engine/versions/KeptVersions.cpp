#include "engine/versions/KeptVersions.h"

#include <map>

#include "engine/versions/ZipEnd.h"
#include "platform/VisibleText.h"

namespace stowaway {

namespace {

// More volumes than any real set has: a damaged count, not a set to look for.
constexpr std::uint32_t MaxVolumes = 100000;

std::string VolumePath(const ArchiveName& name, const std::string& base, unsigned volume) {
    return name.prefix + VolumeLeaf(name, base, volume);
}

std::string Quoted(const std::string& path) {
    return "\"" + VisibleText(path) + "\"";
}

}  // namespace

void SummarizeArchive(const Platform& platform, const ArchiveName& name, const std::string& base,
                      ArchiveVersion& version) {
    const std::string last = VolumePath(name, base, 0);
    version.path = last;
    version.files.clear();
    version.size = 0;
    version.entries.reset();
    version.problem.clear();
    const std::optional<FileInfo> info = platform.fileInfo(last);
    if (!info || !info->regular) {
        version.problem = "incomplete: its last volume " + Quoted(last) + " is missing";
        return;
    }
    std::string tail;
    const std::uint64_t tailOffset = info->size > ZipEndSearch ? info->size - ZipEndSearch : 0;
    if (!platform.readFileRange(last, tailOffset, ZipEndSearch, tail)) {
        version.problem = "damaged: it cannot be read";
        return;
    }
    std::string missing;
    const DiskReader read = [&](std::uint32_t disk, std::uint32_t disks, std::uint64_t offset,
                                std::size_t length, std::string& out) {
        if (disks > MaxVolumes) return false;
        const std::string path = disk + 1 == disks ? last : VolumePath(name, base, disk + 1);
        if (!platform.fileInfo(path)) {
            missing = path;
            return false;
        }
        return platform.readFileRange(path, offset, length, out);
    };
    std::string error;
    const std::optional<ZipEnd> end = ParseZipEnd(tail, tailOffset, read, error);
    if (!end) {
        version.problem = missing.empty()
                              ? "damaged: " + error
                              : "incomplete: its volume " + Quoted(missing) + " is missing";
        version.files.push_back(last);
        version.size = info->size;
        return;
    }
    if (end->disks > MaxVolumes) {
        version.problem =
            "damaged: its end record claims " + std::to_string(end->disks) + " volumes";
        return;
    }
    for (unsigned v = 1; v < end->disks; ++v) {
        const std::string path = VolumePath(name, base, v);
        const std::optional<FileInfo> part = platform.fileInfo(path);
        if (!part || !part->regular) {
            version.problem = "incomplete: its volume " + Quoted(path) + " is missing";
            continue;
        }
        version.files.push_back(path);
        version.size += part->size;
    }
    version.files.push_back(last);
    version.size += info->size;
    version.entries = end->entries;
}

std::vector<ArchiveVersion> FindVersions(const Platform& platform, const ArchiveName& name) {
    std::vector<ArchiveVersion> versions;
    if (const std::optional<FileInfo> info = platform.fileInfo(CurrentPath(name))) {
        ArchiveVersion current;
        current.current = true;
        current.stamp = LocalStamp(info->modified).value_or(Stamp{});
        SummarizeArchive(platform, name, name.stem, current);
        versions.push_back(std::move(current));
    }

    std::vector<DirEntry> entries;
    if (!platform.listDirectory(name.folder, entries)) return versions;
    // Newest first; each date's files by volume.
    std::map<Stamp, std::map<unsigned, std::string>, std::greater<>> groups;
    for (const DirEntry& entry : entries) {
        if (entry.isFolder || entry.isLink || entry.system) continue;
        if (const std::optional<DatedLeafMatch> match = MatchDatedLeaf(name, entry.name))
            groups[match->stamp][match->volume] = name.prefix + entry.name;
    }
    for (const auto& [stamp, files] : groups) {
        ArchiveVersion kept;
        kept.stamp = stamp;
        SummarizeArchive(platform, name, name.stem + "-" + FormatStamp(stamp), kept);
        // The whole unit as it lies there, a stray volume too, so that it goes as one.
        kept.files.clear();
        kept.size = 0;
        for (const auto& [volume, path] : files) {
            if (volume == 0) continue;
            kept.files.push_back(path);
        }
        if (files.count(0)) kept.files.push_back(files.at(0));
        for (const std::string& path : kept.files)
            if (const std::optional<FileInfo> info = platform.fileInfo(path))
                kept.size += info->size;
        versions.push_back(std::move(kept));
    }
    return versions;
}

KeptLinks LinkPreviousArchive(const Platform& platform, const ArchiveName& name,
                              std::vector<std::string>& log) {
    KeptLinks links;
    const std::string current = CurrentPath(name);
    const std::optional<FileInfo> info = platform.fileInfo(current);
    if (!info) return links;  // a first backup: nothing to keep yet
    const std::string notKept = "The previous archive " + Quoted(current) + " is not kept: ";
    if (!info->regular) {
        log.push_back(notKept + "it is not a regular file.");
        return links;
    }
    const std::string journal = name.prefix + "." + name.stem + name.extension + ".pkzip-commit";
    if (platform.fileInfo(journal)) {
        log.push_back(notKept + "an interrupted replacement of it is still to be finished.");
        return links;
    }
    ArchiveVersion previous;
    SummarizeArchive(platform, name, name.stem, previous);
    if (!previous.problem.empty()) {
        log.push_back(notKept + "it is " + previous.problem + ".");
        return links;
    }
    const std::optional<Stamp> stamp = LocalStamp(info->modified);
    if (!stamp) {
        log.push_back(notKept + "its modification time is out of range.");
        return links;
    }
    const std::string base = name.stem + "-" + FormatStamp(*stamp);
    // previous.files ends with the last volume: linked last, so a dated ".zip"
    // only ever stands for a whole set.
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < previous.files.size(); ++i) {
        const unsigned volume = i + 1 == previous.files.size() ? 0 : static_cast<unsigned>(i + 1);
        targets.push_back(VolumePath(name, base, volume));
        if (platform.fileInfo(targets.back())) {
            log.push_back(notKept + Quoted(targets.back()) +
                          " exists already (a backup in the same second, or a file that is "
                          "not Stowaway's) and is left as it is.");
            return links;
        }
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const LinkStatus status = platform.makeHardLink(previous.files[i], targets[i]);
        if (status == LinkStatus::Linked) {
            links.links.push_back(targets[i]);
            continue;
        }
        for (const std::string& made : links.links) platform.removeFile(made);
        links.links.clear();
        switch (status) {
            case LinkStatus::Unsupported:
                log.push_back(notKept +
                              "the file system of its folder has no hard links, and "
                              "a version is never kept by copying it.");
                break;
            case LinkStatus::Exists:
                log.push_back(notKept + Quoted(targets[i]) +
                              " appeared meanwhile and is left as it is.");
                break;
            default:
                log.push_back(notKept + Quoted(targets[i]) +
                              " could not be made (no permission in the folder?).");
                break;
        }
        return links;
    }
    links.kept = *info;
    return links;
}

void SettleKeptLinks(const Platform& platform, const ArchiveName& name, const KeptLinks& links,
                     bool backupSucceeded, std::vector<std::string>& log) {
    if (links.links.empty()) return;
    const std::optional<FileInfo> now = platform.fileInfo(CurrentPath(name));
    const bool stillPrevious =
        now && now->device == links.kept.device && now->inode == links.kept.inode;
    if (!stillPrevious) {
        log.push_back("The previous archive is kept as " + Quoted(links.links.back()) + ".");
        return;
    }
    // Both names hold the one archive: no earlier version to keep.
    for (auto it = links.links.rbegin(); it != links.links.rend(); ++it) platform.removeFile(*it);
    log.push_back(backupSucceeded
                      ? "The archive was not replaced, so no earlier version is kept."
                      : "The backup failed and the previous archive is still the current one; "
                        "no earlier version is kept.");
}

PrunePlan PlanPrune(const Platform& platform, const ArchiveName& name, const KeepPolicy& policy) {
    PrunePlan plan;
    plan.versions = FindVersions(platform, name);
    std::vector<RetentionItem> items;
    for (const ArchiveVersion& version : plan.versions)
        items.push_back(RetentionItem{version.stamp, version.current});
    plan.verdicts = ApplyRetention(items, policy);
    return plan;
}

std::vector<std::string> PruneLines(const PrunePlan& plan) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < plan.versions.size(); ++i) {
        const ArchiveVersion& version = plan.versions[i];
        lines.push_back(DisplayStamp(version.stamp) + "  " + VisibleText(version.path) + "  " +
                        plan.verdicts[i].reason +
                        (version.problem.empty() ? "" : " (" + version.problem + ")"));
    }
    return lines;
}

bool ApplyPrune(const Platform& platform, const PrunePlan& plan, std::vector<std::string>& log) {
    bool ok = true;
    for (std::size_t i = 0; i < plan.versions.size(); ++i) {
        const ArchiveVersion& version = plan.versions[i];
        if (plan.verdicts[i].keep || version.current) continue;
        // The last volume first: what is left is never taken for a whole set.
        bool deleted = true;
        for (auto it = version.files.rbegin(); it != version.files.rend(); ++it) {
            if (platform.removeFile(*it)) continue;
            log.push_back("The kept archive file " + Quoted(*it) + " could not be deleted.");
            deleted = false;
        }
        if (deleted)
            log.push_back("Deleted the kept archive " + Quoted(version.path) +
                          " (beyond the policy).");
        ok = ok && deleted;
    }
    return ok;
}

}  // namespace stowaway
