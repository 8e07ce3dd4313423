#include "startup/RestoreCommand.h"

#include <optional>

#include "engine/JobContext.h"
#include "engine/versions/FileRestore.h"
#include "platform/VisibleText.h"
#include "startup/App.h"
#include "startup/CrateLookup.h"

namespace stowaway {

namespace {

struct RestoreArguments {
    std::string crate;
    std::optional<std::string> version;  // as --versions prints it, or "current"
    std::string target;                  // empty: the original places
    bool force = false;
    std::vector<std::string> patterns;
};

bool IsClockTime(const std::string& text) {
    return text.size() == 8 && text[2] == ':' && text[5] == ':';
}

std::optional<RestoreArguments> Parse(const std::vector<std::string>& arguments, std::string& why) {
    RestoreArguments parsed;
    if (arguments.size() < 2 || arguments[1].empty() || arguments[1].starts_with("--")) {
        why = "--restore needs the Crate's name first";
        return std::nullopt;
    }
    parsed.crate = arguments[1];
    bool options = true;
    for (std::size_t i = 2; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--version" || a == "--to")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                why = a + " needs a value";
                return std::nullopt;
            }
            std::string value = arguments[++i];
            if (a == "--to") {
                parsed.target = value;
                continue;
            }
            // "2026-12-06 02:00:00" as --versions prints it, in one argument or two.
            if (i + 1 < arguments.size() && value.size() == 10 && IsClockTime(arguments[i + 1]))
                value += " " + arguments[++i];
            parsed.version = value;
        } else if (options && a == "--force") {
            parsed.force = true;
        } else if (options && a.starts_with("--")) {
            why = "unknown option " + a + " (a file whose name starts with -- goes after --)";
            return std::nullopt;
        } else if (!a.empty()) {
            parsed.patterns.push_back(a);
        }
    }
    if (parsed.patterns.empty()) {
        why = "--restore needs at least one file, folder or wildcard to restore";
        return std::nullopt;
    }
    return parsed;
}

std::optional<std::size_t> FindVersion(const std::vector<ArchiveVersion>& versions,
                                       const std::string& wanted) {
    for (std::size_t v = 0; v < versions.size(); ++v) {
        const ArchiveVersion& version = versions[v];
        if (wanted == "current"
                ? version.current
                : wanted == DisplayStamp(version.stamp) || wanted == FormatStamp(version.stamp))
            return v;
    }
    return std::nullopt;
}

std::string Shown(const std::string& text) {
    return "\"" + VisibleText(text) + "\"";
}

}  // namespace

bool IsRestoreCommand(const std::vector<std::string>& arguments) {
    return !arguments.empty() && arguments[0] == "--restore";
}

int RunRestoreCommand(App& app, const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err) {
    std::string why;
    const std::optional<RestoreArguments> request = Parse(arguments, why);
    if (!request) {
        err << "Stowaway: " << why << "; see stowaway --help.\n";
        return RestoreUsage;
    }
    const short slot = LoadAndFindCrate(app, request->crate);
    if (slot < 0) {
        err << "Stowaway: there is no Crate named " << Shown(request->crate) << ".\n";
        return RestoreFailed;
    }
    const CrateRecord& crate = app.store.CrateTable[static_cast<std::size_t>(slot)];
    ArchiveName name;
    if (!SplitArchiveName(crate.BackupLocation, app.style().separator(), name)) {
        err << "Stowaway: the Crate " << VisibleText(crate.Name)
            << " names no archive file to restore from.\n";
        return RestoreFailed;
    }

    std::vector<VersionEntries> versions;
    for (ArchiveVersion& version : FindVersions(app.platform, name)) {
        VersionEntries entries;
        entries.version = std::move(version);
        versions.push_back(std::move(entries));
    }
    std::optional<std::size_t> only;
    if (request->version) {
        std::vector<ArchiveVersion> plain;
        for (const VersionEntries& v : versions) plain.push_back(v.version);
        only = FindVersion(plain, *request->version);
        if (!only) {
            err << "Stowaway: the Crate " << VisibleText(crate.Name) << " has no archive of "
                << Shown(*request->version)
                << "; stowaway --versions NAME lists them with their dates.\n";
            return RestoreFailed;
        }
    }
    if (versions.empty()) {
        err << "Stowaway: the Crate " << VisibleText(crate.Name) << " has no archive yet.\n";
        return RestoreFailed;
    }
    // Only the versions that may give files are read.
    for (std::size_t v = 0; v < versions.size(); ++v) {
        if (only && v != *only) continue;
        versions[v].listing = ReadCentralListing(app.platform, name, versions[v].version.path);
        if (!versions[v].problem().empty())
            err << "Stowaway: the archive " << Shown(versions[v].version.path) << " is "
                << versions[v].problem()
                << (only ? ".\n" : "; the files are taken from the other versions.\n");
    }

    const FilePick pick = PickFiles(versions, request->patterns, only);
    int status = RestoreDone;
    for (const std::string& pattern : pick.unmatched) {
        err << "Stowaway: no " << (only ? "such" : "readable") << " archive of the Crate holds "
            << Shown(pattern) << ".\n";
        status = RestoreFailed;
    }
    if (pick.files.empty()) return RestoreFailed;

    app.store.CurrentIndex = slot;
    JobContext ctx = app.jobContext();
    ctx.automated = true;  // no console, no questions; waits its turn for the work files
    FileRestoreRequest run;
    run.files = pick.files;
    run.target = request->target;
    run.crate = crate.Name;
    run.replaceNewer = request->force;
    const FileRestoreOutcome outcome = RestoreFiles(ctx, run);
    for (const std::string& problem : outcome.problems) err << "Stowaway: " << problem << "\n";
    for (const std::string& path : outcome.keptNewer)
        err << "Stowaway: kept " << Shown(path)
            << ": it is newer than the archive's copy (--force replaces it).\n";
    out << "Restored " << outcome.restored << " of " << pick.files.size()
        << (pick.files.size() == 1 ? " file" : " files")
        << (request->target.empty() ? " to their original places"
                                    : " under " + Shown(request->target))
        << ".\n";
    if (!outcome.ok) return RestoreFailed;
    if (status == RestoreDone && !outcome.keptNewer.empty()) return RestoreKeptNewer;
    return status;
}

}  // namespace stowaway
