#include "engine/ArchiverCommands.h"

#include "engine/JobContext.h"
#include "engine/WorkFiles.h"
#include "platform/VisibleText.h"

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

bool RefusePath(const JobContext& ctx, const std::string& path, const std::string& why) {
    const std::string text = "The path " + VisibleText(path) + " contains " + why +
                             ". Rename it or choose another path, then try again.";
    ctx.job.RunErrors.push_back(text);
    ctx.ui.messageBox(text, "Error", MsgButtons::OK, MsgIcon::Exclamation);
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

bool CheckBatchPath(const JobContext& ctx, const std::string& path) {
    if (path.find('"') != std::string::npos)
        return RefusePath(ctx, path, "a double quote, which cannot be handed to the archiver");
    if (HoldsNul(path)) return RefusePath(ctx, path, "a NUL character, so it can name no file");
    if (HoldsLineBreak(path))
        return RefusePath(ctx, path, "a line break, which cannot be handed to the archiver");
    return true;
}

std::string ArchiverPath(const JobContext& ctx) {
    return ctx.programFile("PKZIP25.EXE");
}

std::string ComposeBackupCommand(const JobContext& ctx, const CrateRecord& crate,
                                 const WorkFiles& files) {
    std::string cmd = Quoted(ArchiverPath(ctx)) + " -default ";
    if (crate.UpdateOnly == 1)
        cmd += "-add=update ";
    else if (crate.UpdateOnly == 0)
        cmd += "-add=all ";
    cmd += "-header=@" + Quoted(files.header) + " ";
    if (crate.MultiDisk == 1) cmd += "-span ";
    cmd += "-temp=" + QuotedArgument(ctx.style(), ctx.ProgramFolder) + " ";
    // The last digit of the level: position 10 of the slider hands over 0.
    std::string level = std::to_string(crate.Compression);
    cmd += "-lev=" + level.substr(level.size() - 1) + " ";
    cmd += "-path=full -nofix " + QuotedArgument(ctx.style(), crate.BackupLocation) + " ";
    return cmd;
}

std::string ComposeBackupTail(const WorkFiles& files, bool captureOutput) {
    std::string tail = "@" + Quoted(files.list);
    if (captureOutput) tail += " > " + Quoted(files.output);
    return tail;
}

std::string ComposeRestoreCommand(const JobContext& ctx, const std::string& archive,
                                  const std::string& target, bool overwriteOlder) {
    const PathStyle& style = ctx.style();
    return QuoteIfBlank(style, ArchiverPath(ctx)) + " " +
           (overwriteOlder ? "-extract=update " : "-extract=all ") + "-dir=relative " +
           QuoteIfBlank(style, archive) + " " + QuoteIfBlank(style, target);
}

std::string ComposeRestoreTail(const WorkFiles& files, bool captureOutput) {
    return captureOutput ? "> " + RedirectTarget(files.output) : std::string();
}

std::string ComposeListingCommand(const JobContext& ctx, const std::string& archive,
                                  const std::string& listing) {
    return Quoted(ArchiverPath(ctx)) + " -view=brief " + QuoteIfBlank(ctx.style(), archive) +
           " > " + RedirectTarget(listing);
}

std::string InterpreterCommand(const std::string& batchPath) {
    return "COMMAND.COM /c " + Quoted(batchPath);
}

}  // namespace stowaway
