#include "engine/FileWalk.h"

#include <vector>

#include "engine/Wildcard.h"
#include "engine/Years.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"
#include "startup/App.h"

namespace stowaway {

namespace {

struct Walk {
    App& app;
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
                    AddWalkError(app, "Cannot read the date of " + path + "; it was left out.");
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
        auto modified = app.platform.fileModified(path);
        if (!modified) return std::nullopt;
        return YearOfDate(app.platform.shortDate(*modified));
    }

    void LeaveOutLineBreak(const std::string& path) {
        AddWalkError(app, "The name " + VisibleText(path) +
                              " holds a line break, which the list file cannot carry; it was "
                              "left out.");
    }

    void folder(const std::string& folderPath) {
        std::vector<DirEntry> listing;
        if (!app.platform.listDirectory(folderPath, listing)) {
            AddWalkError(app,
                         "Cannot read the folder " + folderPath + "; its files were left out.");
            return;
        }
        // Each call keeps its own subfolder list and finishes its listing before it
        // descends, so no listing stays open across the recursion.
        std::vector<std::string> subfolders;
        for (DirEntry& entry : listing) {
            visit(folderPath, entry, subfolders);
            app.ui.processEvents();
        }
        if (!recurse) return;
        for (std::string& sub : subfolders) folder(sub + app.style().separator());
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
        if (entry.isLink && app.platform.folderExists(folderPath + name)) return;
        if (!selects(folderPath, name)) return;
        // One line of the list file per path: a line break would let a name
        // smuggle other paths into the archive.
        if (HoldsLineBreak(name)) {
            LeaveOutLineBreak(folderPath + name);
            return;
        }
        ++app.job.FilesToDo;
        if (write && list) *list << folderPath << name << "\r\n";
    }
};

}  // namespace

void AddWalkError(App& app, std::string text) {
    app.job.WalkFailed = true;
    app.job.WalkErrors.push_back(std::move(text));
}

void EnumerateFolder(App& app, const std::string& folder, const std::string& wildcard, int ruleYear,
                     bool recurse, bool write, SelectMode mode, std::ostream* list) {
    Walk walk{app,  ToLower(wildcard),      ruleYear, recurse, write, mode,
              list, app.style().foldsCase()};
    walk.folder(folder);
}

void WalkFolderRule(App& app, const std::string& rule, bool write, std::ostream* list) {
    if (HoldsNul(rule) || HoldsLineBreak(rule)) {
        AddWalkError(app, "The folder rule \"" + VisibleText(rule) +
                              "\" holds a line break or NUL character, which the list file "
                              "cannot carry; the rule was left out.");
        return;
    }
    ParsedFolderRule parsed = ParseFolderRule(rule, app.style());
    if (!parsed.yearValid) {
        AddWalkError(app, "The date of the folder rule \"" + rule +
                              "\" has no month/day/year; the rule was left out.");
        return;
    }
    if (parsed.folder.empty()) {
        AddWalkError(app, "The folder rule \"" + rule + "\" names no folder; it was left out.");
        return;
    }
    EnumerateFolder(app, parsed.folder, parsed.wildcard, parsed.year, parsed.recurse, write,
                    parsed.mode, list);
}

}  // namespace stowaway
