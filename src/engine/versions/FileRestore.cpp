#include "engine/versions/FileRestore.h"

#include <algorithm>
#include <fstream>

#include "engine/ArchiverCommands.h"
#include "engine/JobContext.h"
#include "engine/JobGuard.h"
#include "engine/RunLog.h"
#include "engine/Runner.h"
#include "engine/WorkFiles.h"
#include "engine/WorkFilesLock.h"
#include "engine/encryption/CratePassword.h"
#include "engine/encryption/EncryptedArchive.h"
#include "platform/NativeText.h"
#include "platform/VisibleText.h"

namespace stowaway {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + VisibleText(path) + "\"";
}

// The folder above; "." above a relative name without one.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a file can be made in the folder, or in the nearest one above it that
// exists (the archiver makes the rest): a read-only disk or a folder without
// permission is told before anything is written.
bool FolderWritable(const Platform& platform, std::string folder) {
    while (!platform.folderExists(folder) && folder != "/" && folder != ".")
        folder = FolderOf(folder);
    const std::string probe = folder + (folder == "/" ? "" : "/") + ".stowaway-write-check";
    switch (platform.createNewFile(probe, "")) {
        case CreateStatus::Created:
            platform.removeFile(probe);
            return true;
        case CreateStatus::Exists:
            return true;
        case CreateStatus::Failed:
            break;
    }
    return false;
}

// PKZIP25.EXE -extract=all [-newer=replace] -dir=relative [-password-fd=3] ARCHIVE TARGET
// @"NAMES": the name file comes last.
std::string RestoreFilesCommand(const JobContext& ctx, const std::string& archive,
                                const std::string& target, bool replaceNewer, bool password,
                                const std::string& nameFile) {
    const PathStyle& style = ctx.style();
    return QuoteIfBlank(style, ArchiverPath(ctx)) + " -extract=all " +
           (replaceNewer ? "-newer=replace " : "") + "-dir=relative " +
           (password ? PasswordOption() + " " : "") + QuoteIfBlank(style, archive) + " " +
           QuoteIfBlank(style, target) + " @" + QuotedArgument(style, nameFile);
}

bool WriteNames(const JobContext& ctx, const std::string& path,
                const std::vector<const PickedFile*>& files) {
    std::ofstream out(toPath(ctx.platform.native(path)), std::ios::binary | std::ios::trunc);
    for (const PickedFile* file : files) out << file->entry.name << '\n';
    out.flush();
    return static_cast<bool>(out);
}

// The browser's entries do not carry the flag: then the directory is read.
bool NeedsPassword(const Platform& platform, const std::string& archive,
                   const std::vector<const PickedFile*>& files) {
    for (const PickedFile* file : files)
        if (file->entry.encrypted) return true;
    return ArchiveEncryptionOf(platform, archive) == ArchiveEncryption::Encrypted;
}

void Problem(FileRestoreOutcome& outcome, const JobContext& ctx, const std::string& text) {
    outcome.problems.push_back(text);
    ctx.job.RunErrors.push_back(text);
}

}  // namespace

std::string RestoredPath(const std::string& target, const std::string& entryName) {
    std::string base = target;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base.empty() || base == "/") return "/" + entryName;
    return base + "/" + entryName;
}

RestorePreview PreviewRestore(const Platform& platform, const std::vector<PickedFile>& files,
                              const std::string& target) {
    RestorePreview preview;
    for (const PickedFile& file : files) {
        const std::string path = RestoredPath(target, file.entry.name);
        const std::optional<FileInfo> info = platform.fileInfo(path);
        if (!info) continue;
        if (!info->regular) {
            preview.blocked.push_back(path);
            continue;
        }
        // Whole seconds: the disk keeps finer times than the archive.
        preview.replaced.push_back(
            {file, path, info->modified, info->modified > file.entry.modified});
    }
    return preview;
}

FileRestoreOutcome RestoreFiles(const JobContext& ctx, const FileRestoreRequest& request) {
    FileRestoreOutcome outcome;
    JobGuard guard(ctx);
    if (!guard) {
        outcome.problems.push_back(JobRunningText);
        return outcome;
    }
    WorkFilesLock work(ctx);
    if (!work) {
        outcome.problems.push_back(JobRunningText);
        return outcome;
    }
    JobState& job = ctx.job;
    job.startNew();
    ctx.display.setBusy(true);
    ctx.display.showStatus("Initializing...");
    const WorkFiles files = WorkFilePaths(ctx);
    job.BatchPath = files.batch;
    job.OutputPath = files.output;
    const std::string target = request.target.empty() ? "/" : request.target;

    bool ready = CheckBatchPath(ctx, ctx.ProgramFolder) && CheckBatchPath(ctx, target);
    if (!ready) outcome.problems = job.RunErrors;
    if (ready && !request.target.empty() && !FolderWritable(ctx.platform, request.target)) {
        Problem(outcome, ctx,
                "The folder " + Quoted(request.target) +
                    " cannot be written to: the disk is read-only or you lack the permission. "
                    "Nothing was restored; choose another folder.");
        ready = false;
    }

    // One archiver run per archive, in the order picked.
    std::vector<std::string> archives;
    for (const PickedFile& file : request.files)
        if (std::find(archives.begin(), archives.end(), file.archive) == archives.end())
            archives.push_back(file.archive);
    for (std::size_t a = 0; ready && a < archives.size(); ++a) {
        if (request.cancelled && request.cancelled()) {
            outcome.cancelled = true;
            break;
        }
        const std::string& archive = archives[a];
        std::vector<const PickedFile*> names;
        for (const PickedFile& file : request.files) {
            if (file.archive != archive) continue;
            if (file.entry.name.find_first_of("\r\n") != std::string::npos) {
                Problem(outcome, ctx,
                        "The name " + Quoted(file.entry.name) +
                            " holds a line break and cannot be handed to the archiver; restore "
                            "it with another ZIP tool.");
                continue;
            }
            // A newer file is kept unless the user said otherwise.
            const std::string path = RestoredPath(request.target, file.entry.name);
            if (!request.replaceNewer) {
                const std::optional<FileInfo> info = ctx.platform.fileInfo(path);
                if (info && info->regular && info->modified > file.entry.modified) {
                    outcome.keptNewer.push_back(path);
                    continue;
                }
            }
            names.push_back(&file);
        }
        if (names.empty()) continue;
        if (!CheckBatchPath(ctx, archive)) {
            outcome.problems.push_back(job.RunErrors.back());
            continue;
        }
        // The password waits in the job for this archive's run only.
        job.Password.clear();
        if (NeedsPassword(ctx.platform, archive, names)) {
            const std::string missing =
                FindArchivePassword(ctx, archive, request.crate, job.Password);
            if (!missing.empty()) {
                Problem(outcome, ctx, missing);
                AppendToRunLog(ctx, {RunBanner(ctx, JobKind::Restore), LogErrorPrefix + missing});
                continue;
            }
        }
        if (!EmptyWorkFiles(ctx, {files.batch, files.list, files.output})) {
            outcome.problems.push_back(job.RunErrors.back());
            break;
        }
        if (!WriteNames(ctx, files.list, names)) {
            ReportWorkFileFailure(ctx, files.list);
            outcome.problems.push_back(job.RunErrors.back());
            break;
        }
        job.ArchiverCommand = RestoreFilesCommand(ctx, archive, target, request.replaceNewer,
                                                  !job.Password.empty(), files.list);
        job.ArchiverTail = ComposeRestoreTail(files, ctx.outputCaptured());
        job.FilesToDo = static_cast<std::int32_t>(names.size());
        const std::size_t errorsBefore = job.RunErrors.size();
        const std::size_t problemsBefore = outcome.problems.size();
        // A cancel while the archiver runs stops it: the files it has put in place
        // stay, the one it was writing is left under its work name.
        bool stopped = false;
        job.StopRequested = [&] {
            stopped = stopped || (request.cancelled && request.cancelled());
            return stopped;
        };
        const bool ok = RunArchiverInJob(ctx, files.batch, files.output, JobKind::Restore);
        job.StopRequested = {};
        outcome.restored += job.FilesDone;
        if (stopped) {
            outcome.cancelled = true;
            break;
        }
        for (std::size_t e = errorsBefore; e < job.RunErrors.size(); ++e)
            outcome.problems.push_back(job.RunErrors[e]);
        if (!ok && outcome.problems.size() == problemsBefore)
            outcome.problems.push_back("Not every file could be restored from " + Quoted(archive) +
                                       "; the run log says why.");
    }
    job.Password.clear();  // a run that did not start
    outcome.ok = ready && !outcome.cancelled && outcome.problems.empty();
    ctx.display.showStatus(outcome.ok ? "Restore Complete"
                           : outcome.cancelled
                               ? "Restore Aborted"
                               : "There was an Error in the Restore. See the PkZip Output log for "
                                 "details.");
    ctx.display.setProgress(0);
    ctx.display.setBusy(false);
    return outcome;
}

}  // namespace stowaway
