#include "engine/ArchiverCommands.h"

#include "engine/WorkFiles.h"
#include "startup/App.h"

namespace stowaway {

namespace {
std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}
}  // namespace

std::string QuoteIfBlank(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : Quoted(path);
}

bool CheckBatchPath(App& app, const std::string& path) {
    if (path.find('"') == std::string::npos) return true;
    app.ui.messageBox("The path " + path +
                          " contains a double quote, which cannot be handed to the archiver. "
                          "Rename it or choose another path, then try again.",
                      "Error", MsgButtons::OK, MsgIcon::Exclamation);
    return false;
}

std::string ArchiverPath(const App& app) {
    return app.programFile("PKZIP25.EXE");
}

std::string ComposeBackupCommand(const App& app, const CrateRecord& crate, const WorkFiles& files) {
    std::string cmd = Quoted(ArchiverPath(app)) + " -default ";
    if (crate.UpdateOnly == 1)
        cmd += "-add=update ";
    else if (crate.UpdateOnly == 0)
        cmd += "-add=all ";
    cmd += "-header=@" + Quoted(files.header) + " ";
    if (crate.MultiDisk == 1) cmd += "-span ";
    cmd += "-temp=" + Quoted(app.ProgramFolder) + " ";
    // The last digit of the level: position 10 of the slider hands over 0.
    std::string level = std::to_string(crate.Compression);
    cmd += "-lev=" + level.substr(level.size() - 1) + " ";
    cmd += "-path=full -nofix " + Quoted(crate.BackupLocation) + " ";
    return cmd;
}

std::string ComposeBackupTail(const WorkFiles& files, bool captureOutput) {
    std::string tail = "@" + Quoted(files.list);
    if (captureOutput) tail += " > " + Quoted(files.output);
    return tail;
}

std::string ComposeRestoreCommand(const App& app, const std::string& archive,
                                  const std::string& target, bool overwriteOlder) {
    return QuoteIfBlank(ArchiverPath(app)) + " " +
           (overwriteOlder ? "-extract=update " : "-extract=all ") + "-dir=relative " +
           QuoteIfBlank(archive) + " " + QuoteIfBlank(target);
}

std::string ComposeRestoreTail(const WorkFiles& files, bool captureOutput) {
    return captureOutput ? "> " + QuoteIfBlank(files.output) : std::string();
}

std::string ComposeListingCommand(const App& app, const std::string& archive,
                                  const std::string& listing) {
    return Quoted(ArchiverPath(app)) + " -view=brief " + QuoteIfBlank(archive) + " > " +
           QuoteIfBlank(listing);
}

std::string InterpreterCommand(const std::string& batchPath) {
    return "COMMAND.COM /c " + Quoted(batchPath);
}

}  // namespace stowaway
