#include "startup/VersionCommands.h"

#include <optional>

#include "engine/versions/KeptVersions.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"
#include "startup/App.h"
#include "startup/CrateLookup.h"
#include "store/settings/KeepSettings.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

namespace {

constexpr const char* DryRunOption = "--dry-run";

struct VersionsRequest {
    std::string command;  // "--keep", "--versions", "--prune"
    std::string crate;
    std::string policy;  // --keep
    bool dryRun = false;
};

// The first blank-separated word and the trimmed rest.
std::pair<std::string, std::string> FirstWord(const std::string& text) {
    const std::string trimmed = Trim(text);
    const std::size_t blank = trimmed.find(' ');
    if (blank == std::string::npos) return {trimmed, ""};
    return {trimmed.substr(0, blank), Trim(trimmed.substr(blank + 1))};
}

std::optional<VersionsRequest> ParseRequest(const std::string& arguments) {
    VersionsRequest request;
    auto [command, rest] = FirstWord(arguments);
    request.command = command;
    if (command == "--keep") {
        // The name may hold blanks; the policy is the last word.
        const std::size_t blank = rest.rfind(' ');
        if (blank == std::string::npos) return std::nullopt;
        request.crate = Trim(rest.substr(0, blank));
        request.policy = rest.substr(blank + 1);
    } else if (command == "--versions") {
        request.crate = rest;
    } else if (command == "--prune") {
        auto [first, after] = FirstWord(rest);
        if (first == DryRunOption) {
            request.dryRun = true;
            rest = after;
        } else if (rest.size() > std::string(DryRunOption).size() &&
                   rest.compare(rest.size() - 10, 10, " --dry-run") == 0) {
            request.dryRun = true;
            rest = Trim(rest.substr(0, rest.size() - 10));
        }
        request.crate = rest;
    } else {
        return std::nullopt;
    }
    if (request.crate.empty()) return std::nullopt;
    return request;
}

std::string SizeText(std::uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

int Keep(App& app, const CrateRecord& crate, const VersionsRequest& request, std::ostream& out,
         std::ostream& err) {
    std::string error;
    const std::optional<KeepPolicy> policy = ParseKeepPolicy(request.policy, error);
    if (!policy) {
        err << "Stowaway: " << error << ".\n";
        return VersionsUsage;
    }
    const std::string path = SettingsPath(app.style(), app.ProgramFolder);
    SettingsLoad load = LoadSettings(app.platform, path);
    if (load.unreadable) {
        err << "Stowaway: " << SettingsProblemText(path, load.problems) << "\n";
        return VersionsFailed;
    }
    SetCrateKeepPolicy(load.settings, crate.Name, *policy);
    if (!SaveSettings(app.platform, path, load.settings, error)) {
        err << "Stowaway: " << error << "\n";
        return VersionsFailed;
    }
    if (policy->on)
        out << "The Crate " << VisibleText(crate.Name) << " keeps its earlier archives: the last "
            << policy->last << " (the current one counted), the newest of " << policy->daily
            << " days, " << policy->weekly << " weeks and " << policy->monthly << " months.\n";
    else
        out << "The Crate " << VisibleText(crate.Name)
            << " keeps no earlier archives from now on; those kept so far stay.\n";
    return VersionsDone;
}

}  // namespace

bool IsVersionsCommand(const std::string& arguments) {
    const std::string first = FirstWord(arguments).first;
    return first == "--keep" || first == "--versions" || first == "--prune";
}

int RunVersionsCommand(App& app, const std::string& arguments, std::ostream& out,
                       std::ostream& err) {
    const std::optional<VersionsRequest> request = ParseRequest(arguments);
    if (!request) {
        err << "Stowaway: \"" << VisibleText(arguments)
            << "\" is not understood; see stowaway --help.\n";
        return VersionsUsage;
    }
    const short slot = LoadAndFindCrate(app, request->crate);
    if (slot < 0) {
        err << "Stowaway: there is no Crate named \"" << VisibleText(request->crate) << "\".\n";
        return VersionsFailed;
    }
    const CrateRecord& crate = app.store.CrateTable[static_cast<std::size_t>(slot)];
    if (request->command == "--keep") return Keep(app, crate, *request, out, err);

    ArchiveName name;
    if (!SplitArchiveName(crate.BackupLocation, app.style().separator(), name)) {
        err << "Stowaway: the Crate " << VisibleText(crate.Name)
            << " names no archive file to back up into.\n";
        return VersionsFailed;
    }
    if (request->command == "--versions") {
        int status = VersionsDone;
        const std::vector<ArchiveVersion> versions = FindVersions(app.platform, name);
        if (versions.empty()) out << "No archive of " << VisibleText(crate.Name) << " yet.\n";
        for (const ArchiveVersion& version : versions) {
            out << DisplayStamp(version.stamp) << "  " << VisibleText(version.path) << "  "
                << SizeText(version.size) << "  ";
            if (version.problem.empty())
                out << *version.entries << (*version.entries == 1 ? " file" : " files");
            else
                out << version.problem;
            out << (version.current ? "  (current)" : "") << "\n";
            if (!version.problem.empty()) status = VersionsDamaged;
        }
        return status;
    }

    // --prune: the Crate's policy, or the default count when it keeps none.
    const SettingsLoad load =
        LoadSettings(app.platform, SettingsPath(app.style(), app.ProgramFolder));
    std::string problem;
    const KeepPolicy policy = CrateKeepPolicy(load.settings, crate.Name, &problem);
    if (!problem.empty()) err << "Stowaway: in the settings file, " << problem << ".\n";
    const PrunePlan plan = PlanPrune(app.platform, name, policy);
    for (const std::string& line : PruneLines(plan)) out << line << "\n";
    if (request->dryRun) return VersionsDone;
    std::vector<std::string> log;
    const bool ok = ApplyPrune(app.platform, plan, log);
    for (const std::string& line : log) (ok ? out : err) << line << "\n";
    return ok ? VersionsDone : VersionsFailed;
}

}  // namespace stowaway
