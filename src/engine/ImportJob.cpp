#include "engine/ImportJob.h"

#include <fstream>
#include <sstream>

#include "engine/ArchiverCommands.h"
#include "engine/JobContext.h"
#include "engine/JobGuard.h"
#include "engine/ProcessWait.h"
#include "engine/WorkFiles.h"
#include "engine/WorkFilesLock.h"
#include "engine/encryption/CratePassword.h"
#include "platform/NativeText.h"
#include "store/Import.h"

namespace stowaway {

namespace {

void ShowNotCompliant(const JobContext& ctx, const std::string& path) {
    ctx.display.showStatus("ZIP file is not Stowaway compliant. Cannot import Crate Data");
    ctx.ui.messageBox("The ZIP file " + path +
                          " was not created by Stowaway. Therefore it is not possible to retrieve "
                          "Crate data from it. This operation cannot continue.",
                      "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

}  // namespace

bool ReadArchiveHeaderInJob(const JobContext& ctx, const std::string& path) {
    WorkFilesLock work(ctx);
    if (!work) return false;
    const WorkFiles files = WorkFilePaths(ctx);
    if (!CheckBatchPath(ctx, path) || !CheckBatchPath(ctx, ctx.ProgramFolder) ||
        !EmptyWorkFiles(ctx, {files.batch, files.header}))
        return false;
    if (!PrepareReadPassword(ctx, path, {})) return false;
    std::string command = ComposeListingCommand(ctx, path, files.header);
    // The option goes before the redirection, which runs to the end of the line.
    if (!ctx.job.Password.empty()) command.insert(command.rfind(" > "), " " + PasswordOption());
    ctx.display.showStatus("Checking ZIP file for Stowaway compliance...");
    {
        std::ofstream batch(toPath(ctx.platform.native(files.batch)),
                            std::ios::binary | std::ios::trunc);
        batch << "@ECHO ON\r\n" << command << "\r\n";
        if (!batch.flush()) {
            ReportWorkFileFailure(ctx, files.batch);
            return false;
        }
    }
    // A missing archiver leaves the listing empty, which reads as not compliant.
    long pid = 0;
    if (ctx.job.Password.empty())
        pid = ctx.platform.startProcess(InterpreterCommand(files.batch), WindowStyle::Hidden);
    else
        pid = ctx.platform.startProcessWithSecret(InterpreterCommand(files.batch),
                                                  WindowStyle::Hidden, PasswordDescriptor,
                                                  ctx.job.Password.view());
    ctx.job.Password.clear();
    if (pid != 0) WaitForProcess(ctx, pid, false, {});

    std::ifstream in(toPath(ctx.platform.native(files.header)), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    CrateRecord crate;
    switch (ParseHeaderListing(text.str(), crate)) {
        case ListingVerdict::NotCompliant:
            ShowNotCompliant(ctx, path);
            return false;
        case ListingVerdict::OtherVersion:
            ctx.display.showStatus("Verified! Reading Crate info...");
            ctx.ui.messageBox("The ZIP file " + path +
                                  " was not created by an old version of Stowaway. It is not "
                                  "possible to retrieve Crate data from old versions. This "
                                  "operation cannot continue.",
                              "Error", MsgButtons::OK, MsgIcon::Exclamation);
            return false;
        case ListingVerdict::Crate:
            break;
    }
    ctx.display.showStatus("Verified! Reading Crate info...");
    ctx.store.ImportRecord = std::move(crate);
    ctx.display.showStatus("Adding Crate Data...");
    return true;
}

bool ReadArchiveHeader(const JobContext& ctx, const std::string& path) {
    JobGuard guard(ctx);
    if (!guard) return false;
    return ReadArchiveHeaderInJob(ctx, path);
}

}  // namespace stowaway
