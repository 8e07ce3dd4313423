#include "engine/FileWalk.h"

#include <memory>
#include <vector>

#include "engine/JobContext.h"
#include "engine/Wildcard.h"
#include "engine/Years.h"
#include "platform/CaseFold.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"

namespace stowaway {

namespace {

struct Walk {
    const JobContext& ctx;
    std::string loweredWildcard;
    int ruleYear;
    bool recurse;
    bool write;
    SelectMode mode;
    std::ostream* list;
    bool foldCase;
    std::string name = {};  // the entry's name as the walk uses it, reused for every entry
    std::string line = {};  // the folder's path, then one name at a time

    bool selects(const std::string& folderPath, const OpenFolder& open) {
        switch (mode) {
            case SelectMode::IncludePattern:
                return MatchesLoweredWildcard(name, loweredWildcard);
            case SelectMode::ExcludePattern:
                return !MatchesLoweredWildcard(name, loweredWildcard);
            case SelectMode::AfterYear:
            case SelectMode::BeforeYear: {
                auto year = fileYear(open);
                if (!year) {
                    AddWalkError(
                        ctx, "Cannot read the date of " + folderPath + name + "; it was left out.");
                    return false;
                }
                return mode == SelectMode::AfterYear ? *year >= ruleYear : *year < ruleYear;
            }
            case SelectMode::All:
                return true;
        }
        return false;
    }

    std::optional<int> fileYear(const OpenFolder& open) const {
        auto modified = open.modified(name);
        if (!modified) return std::nullopt;
        return YearOfDate(ctx.platform.shortDate(*modified));
    }

    void LeaveOutLineBreak(const std::string& path) {
        AddWalkError(ctx, "The name " + VisibleText(path) +
                              " holds a line break, which the list file cannot carry; it was "
                              "left out.");
    }

    void folder(const std::string& folderPath) {
        std::unique_ptr<OpenFolder> open = ctx.platform.openFolder(folderPath);
        if (!open) {
            CannotRead(folderPath);
            return;
        }
        // Each call keeps its own subfolder list and closes its folder before it
        // descends, so no folder stays open across the recursion.
        std::vector<std::string> subfolders;
        line.assign(folderPath);
        FolderEntry entry;
        while (open->next(entry)) {
            visit(folderPath, *open, entry, subfolders);
            ctx.ui.processEvents();
        }
        const bool failed = open->failed();
        open.reset();
        if (failed) CannotRead(folderPath);
        if (!recurse) return;
        for (std::string& sub : subfolders) folder(sub + ctx.style().separator());
    }

    void CannotRead(const std::string& folderPath) {
        AddWalkError(ctx, "Cannot read the folder " + folderPath + "; its files were left out.");
    }

    void visit(const std::string& folderPath, const OpenFolder& open, const FolderEntry& entry,
               std::vector<std::string>& subfolders) {
        if (entry.hidden || entry.system) return;
        if (foldCase)
            name = ToLower(entry.name);
        else
            name.assign(entry.name);
        if (name == "." || name == ".." || EqualsIgnoreCase(name, "pagefile.sys")) return;
        if (entry.isFolder) {
            if (!recurse) return;
            if (HoldsLineBreak(name)) {
                LeaveOutLineBreak(folderPath + name);
                return;
            }
            subfolders.push_back(folderPath + name);
            return;
        }
        // A link to a folder is not followed: it could lead back up the tree.
        if (entry.isLink && open.holdsFolder(name)) return;
        if (!selects(folderPath, open)) return;
        // One line of the list file per path: a line break would let a name
        // smuggle other paths into the archive.
        if (HoldsLineBreak(name)) {
            LeaveOutLineBreak(folderPath + name);
            return;
        }
        ++ctx.job.FilesToDo;
        if (!write || !list) return;
        line.resize(folderPath.size());
        line += name;
        line += "\r\n";
        list->write(line.data(), static_cast<std::streamsize>(line.size()));
    }
};

}  // namespace

void AddWalkError(const JobContext& ctx, std::string text) {
    ctx.job.WalkFailed = true;
    ctx.job.WalkErrors.push_back(std::move(text));
}

void EnumerateFolder(const JobContext& ctx, const std::string& folder, const std::string& wildcard,
                     int ruleYear, bool recurse, bool write, SelectMode mode, std::ostream* list) {
    Walk walk{ctx,  FoldCase(wildcard),     ruleYear, recurse, write, mode,
              list, ctx.style().foldsCase()};
    walk.folder(folder);
}

void WalkFolderRule(const JobContext& ctx, const std::string& rule, bool write,
                    std::ostream* list) {
    if (HoldsNul(rule) || HoldsLineBreak(rule)) {
        AddWalkError(ctx, "The folder rule \"" + VisibleText(rule) +
                              "\" holds a line break or NUL character, which the list file "
                              "cannot carry; the rule was left out.");
        return;
    }
    ParsedFolderRule parsed = ParseFolderRule(rule, ctx.style());
    if (!parsed.yearValid) {
        AddWalkError(ctx, "The date of the folder rule \"" + rule +
                              "\" has no month/day/year; the rule was left out.");
        return;
    }
    if (parsed.folder.empty()) {
        AddWalkError(ctx, "The folder rule \"" + rule + "\" names no folder; it was left out.");
        return;
    }
    EnumerateFolder(ctx, parsed.folder, parsed.wildcard, parsed.year, parsed.recurse, write,
                    parsed.mode, list);
}

}  // namespace stowaway
