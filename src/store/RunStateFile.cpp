#include "store/RunStateFile.h"

#include "platform/InstanceLock.h"
#include "platform/Platform.h"
#include "platform/VisibleText.h"
#include "store/DamagedCopy.h"

namespace stowaway {

namespace {

constexpr int PollMilliseconds = 20;

// The lock of a read-modify-write: held, or nothing to lock with (a folder that
// cannot be written, where the write fails anyway).
bool TakeLock(const Platform& platform, InstanceLock& lock, int waitMilliseconds) {
    for (int waited = 0; lock.state() == InstanceLock::State::HeldElsewhere;
         waited += PollMilliseconds) {
        if (waited >= waitMilliseconds) return false;
        platform.sleepMilliseconds(PollMilliseconds);
        lock.tryAgain();
    }
    return true;
}

}  // namespace

std::string RunStatePath(const Platform& platform, const std::string& programFolder) {
    return platform.style().join(programFolder, RunStateFileName);
}

RunStateParse ReadRunState(const Platform& platform, const std::string& path) {
    std::string bytes;
    switch (platform.readWholeFile(path, bytes)) {
        case ReadStatus::Read:
            return ParseRunState(bytes);
        case ReadStatus::Missing:
            return {};
        default: {
            RunStateParse unreadable;
            unreadable.problem = "it cannot be read";
            return unreadable;
        }
    }
}

std::string RunStateProblemText(const std::string& path, const std::string& problem) {
    return "The record of past backups " + VisibleText(path) + " is damaged (" +
           VisibleText(problem) +
           "). What could be read is used, and the Crates are not affected; the next backup "
           "keeps the damaged file beside it as " +
           RunStateFileName + ".damaged and writes a sound one.";
}

RunStateSave UpdateRunState(const Platform& platform, const std::string& path,
                            const std::function<void(RunStateTable&)>& change,
                            int waitMilliseconds) {
    RunStateSave save;
    InstanceLock lock(platform.native(path + ".lock"));
    if (!TakeLock(platform, lock, waitMilliseconds)) {
        save.problem = "another Stowaway kept " + VisibleText(path) + " locked";
        return save;
    }
    std::string bytes;
    const ReadStatus read = platform.readWholeFile(path, bytes);
    RunStateParse parse;
    if (read == ReadStatus::Read) {
        parse = ParseRunState(bytes);
    } else if (read != ReadStatus::Missing) {
        save.problem = VisibleText(path) + " cannot be read";
        return save;  // writing over it would lose what it holds
    }
    if (!parse.problem.empty()) {
        save.problem = parse.problem;
        save.keptCopy = KeepDamagedCopy(platform, path, bytes);
        if (save.keptCopy.empty()) {
            save.problem += "; no copy of it could be kept, so it was left as it is";
            return save;
        }
    }
    if (parse.table.leadingLines.empty() && parse.table.crates.empty())
        parse.table.leadingLines.push_back(
            "# Stowaway: what the backups of each Crate left behind. Written by every backup.");
    change(parse.table);
    const std::string text = FormatRunState(parse.table);
    save.saved = platform.replaceFile(path, [&](std::ostream& out) {
        out << text;
        return static_cast<bool>(out);
    });
    if (!save.saved) save.problem = VisibleText(path) + " cannot be written";
    return save;
}

}  // namespace stowaway
