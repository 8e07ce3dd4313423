#include "engine/FileWalk.h"

#include <vector>

#include "engine/JobContext.h"
#include "engine/Wildcard.h"
#include "engine/Years.h"
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

    bool selects(const std::string& folderPath, const std::string& name) {
        switch (mode) {
            case SelectMode::IncludePattern:
                return MatchesLoweredWildcard(name, loweredWildcard);
            case SelectMode::ExcludePattern:
                return !MatchesLoweredWildcard(name, loweredWildcard);
            case SelectMode::AfterYear:
            case SelectMode::BeforeYear: {
                const std::string path = folderPath + name;
                auto year = fileYear(path);
                if (!year) {
                    AddWalkError(ctx, "Cannot read the date of " + path + "; it was left out.");
                    return false;
                }
                return mode == SelectMode::AfterYear ? *year >= ruleYear : *year < ruleYear;
            }
            case SelectMode::All:
                return true;
        }
        return false;
    }

    std::optional<int> fileYear(const std::string& path) const {
        auto modified = ctx.platform.fileModified(path);
        if (!modified) return std::nullopt;
        return YearOfDate(ctx.platform.shortDate(*modified));
    }

    void LeaveOutLineBreak(const std::string& path) {
        AddWalkError(ctx, "The name " + VisibleText(path) +
                              " holds a line break, which the list file cannot carry; it was "
                              "left out.");
    }

    void folder(const std::string& folderPath) {
        std::vector<DirEntry> listing;
        if (!ctx.platform.listDirectory(folderPath, listing)) {
            AddWalkError(ctx,
                         "Cannot read the folder " + folderPath + "; its files were left out.");
            return;
        }
        // Each call keeps its own subfolder list and finishes its listing before it
        // descends, so no listing stays open across the recursion.
        std::vector<std::string> subfolders;
        for (DirEntry& entry : listing) {
            visit(folderPath, entry, subfolders);
            ctx.ui.processEvents();
        }
        if (!recurse) return;
        for (std::string& sub : subfolders) folder(sub + ctx.style().separator());
    }

    void visit(const std::string& folderPath, DirEntry& entry,
               std::vector<std::string>& subfolders) {
        if (entry.hidden || entry.system) return;
        std::string name = foldCase ? ToLower(entry.name) : std::move(entry.name);
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
        if (entry.isLink && ctx.platform.folderExists(folderPath + name)) return;
        if (!selects(folderPath, name)) return;
        // One line of the list file per path: a line break would let a name
        // smuggle other paths into the archive.
        if (HoldsLineBreak(name)) {
            LeaveOutLineBreak(folderPath + name);
            return;
        }
        ++ctx.job.FilesToDo;
        if (write && list) *list << folderPath << name << "\r\n";
    }
};

}  // namespace

void AddWalkError(const JobContext& ctx, std::string text) {
    ctx.job.WalkFailed = true;
    ctx.job.WalkErrors.push_back(std::move(text));
}

void EnumerateFolder(const JobContext& ctx, const std::string& folder, const std::string& wildcard,
                     int ruleYear, bool recurse, bool write, SelectMode mode, std::ostream* list) {
    Walk walk{ctx,  ToLower(wildcard),      ruleYear, recurse, write, mode,
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
