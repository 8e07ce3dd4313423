#include "engine/ArchiverCommands.h"

#include "engine/WorkFiles.h"
#include "platform/VisibleText.h"
#include "startup/App.h"

namespace stowaway {

namespace {
std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Tells the user why a path cannot go into a batch line.
// The interpreter takes a redirection's file name between quotes as it stands.
std::string RedirectTarget(const std::string& path) {
    return path.find_first_of(" \t") == std::string::npos ? path : Quoted(path);
}

bool RefusePath(App& app, const std::string& path, const std::string& why) {
    app.ui.messageBox("The path " + VisibleText(path) + " contains " + why +
                          ". Rename it or choose another path, then try again.",
                      "Error", MsgButtons::OK, MsgIcon::Exclamation);
    return false;
}
}  // namespace

std::string QuotedArgument(const PathStyle& style, const std::string& path) {
    if (style.isWindows()) return Quoted(path);
    // The interpreter reads 2n backslashes before a quote as n: a POSIX name may
    // end in backslashes, which must not escape the closing quote.
    const std::size_t last = path.find_last_not_of('\\');
    const std::size_t trailing = last == std::string::npos ? path.size() : path.size() - last - 1;
    return "\"" + path + std::string(trailing, '\\') + "\"";
}

std::string QuoteIfBlank(const PathStyle& style, const std::string& path) {
    return path.find_first_of(" \t") == std::string::npos ? path : QuotedArgument(style, path);
}

bool CheckBatchPath(App& app, const std::string& path) {
    if (path.find('"') != std::string::npos)
        return RefusePath(app, path,
                          "a double quote, which cannot be handed to the archiver");
    if (HoldsNul(path))
        return RefusePath(app, path, "a NUL character, so it can name no file");
    if (HoldsLineBreak(path))
        return RefusePath(app, path,
                          "a line break, which cannot be handed to the archiver");
    return true;
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
    cmd += "-temp=" + QuotedArgument(app.style(), app.ProgramFolder) + " ";
    // The last digit of the level: position 10 of the slider hands over 0.
    std::string level = std::to_string(crate.Compression);
    cmd += "-lev=" + level.substr(level.size() - 1) + " ";
    cmd += "-path=full -nofix " + QuotedArgument(app.style(), crate.BackupLocation) + " ";
    return cmd;
}

std::string ComposeBackupTail(const WorkFiles& files, bool captureOutput) {
    std::string tail = "@" + Quoted(files.list);
    if (captureOutput) tail += " > " + Quoted(files.output);
    return tail;
}

std::string ComposeRestoreCommand(const App& app, const std::string& archive,
                                  const std::string& target, bool overwriteOlder) {
    const PathStyle& style = app.style();
    return QuoteIfBlank(style, ArchiverPath(app)) + " " +
           (overwriteOlder ? "-extract=update " : "-extract=all ") + "-dir=relative " +
           QuoteIfBlank(style, archive) + " " + QuoteIfBlank(style, target);
}

std::string ComposeRestoreTail(const WorkFiles& files, bool captureOutput) {
    return captureOutput ? "> " + RedirectTarget(files.output) : std::string();
}

std::string ComposeListingCommand(const App& app, const std::string& archive,
                                  const std::string& listing) {
    return Quoted(ArchiverPath(app)) + " -view=brief " + QuoteIfBlank(app.style(), archive) +
           " > " + RedirectTarget(listing);
}

std::string InterpreterCommand(const std::string& batchPath) {
    return "COMMAND.COM /c " + Quoted(batchPath);
}

}  // namespace stowaway
