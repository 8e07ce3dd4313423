#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/OpenFolder.h"
#include "platform/PathStyle.h"

namespace stowaway {

// One entry of a folder listing.
struct DirEntry {
    std::string name;
    bool isFolder = false;  // a real folder (a link to a folder is not one)
    bool isLink = false;    // a symbolic link
    bool hidden = false;    // POSIX: the name starts with "."
    bool system = false;    // neither a regular file nor a folder (device, FIFO, socket)
};

// How reading a whole file went.
enum class ReadStatus {
    Read,          // the contents were read
    Missing,       // nothing at the path
    DanglingLink,  // a symbolic link whose target does not exist
    NotAFile,      // a folder, FIFO, device or socket
    Failed         // a read error or no permission
};

// How creating a file that must be new went.
enum class CreateStatus {
    Created,  // written and flushed to disk
    Exists,   // something (a file, folder or link) is already at the path
    Failed    // no permission, or the disk is full; nothing is left behind
};

// What the file system says about one name (not following a symbolic link).
struct FileInfo {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::uint64_t links = 0;  // hard links to the same data
    std::time_t modified = 0;
    bool regular = false;  // a regular file, not a link, folder or device
};

// How making a second name for a file went.
enum class LinkStatus {
    Linked,
    Exists,       // something is already at the new name; it was left alone
    Unsupported,  // the file system has no hard links (or not across these folders)
    Failed        // no permission, the file is missing, the disk is full
};

// How a started program's console is shown.
enum class WindowStyle { Hidden, NormalFocus };

// Everything the operating system provides. The core never calls the OS itself.
class Platform {
  public:
    virtual ~Platform() = default;

    virtual const PathStyle& style() const = 0;

    // The folder of the running executable (no trailing separator except at a root).
    virtual std::string programFolder() const = 0;
    // Stand-in for the Windows folder: where the default text viewer lives.
    virtual std::string windowsDir() const = 0;
    // The path the OS opens for a path written in the program's style.
    virtual std::string native(const std::string& path) const = 0;

    // Clock and the system's date and time texts.
    virtual std::time_t now() const = 0;
    virtual std::string shortDate(std::time_t when) const = 0;  // month/day/year
    virtual std::string longTime(std::time_t when) const = 0;

    // File system. A path holding a NUL names no file: every call fails for it.
    virtual bool listDirectory(const std::string& folder, std::vector<DirEntry>& entries) const = 0;
    // The folder held open for reading its entries one by one; nullptr when it
    // cannot be read.
    virtual std::unique_ptr<OpenFolder> openFolder(const std::string& folder) const = 0;
    virtual std::optional<std::time_t> fileModified(const std::string& path) const = 0;
    // The size of a regular file (through links); nothing for anything else.
    virtual std::optional<std::uint64_t> fileSize(const std::string& path) const = 0;
    virtual bool fileExists(const std::string& path) const = 0;
    virtual bool folderExists(const std::string& path) const = 0;
    virtual bool removeFile(const std::string& path) const = 0;
    // Nullopt when nothing is at the path.
    virtual std::optional<FileInfo> fileInfo(const std::string& path) const = 0;
    // A hard link: the new name shares the existing file's data; nothing is copied
    // and nothing already at the new name is replaced.
    virtual LinkStatus makeHardLink(const std::string& existing, const std::string& link) const = 0;
    // Up to length bytes from offset of a regular file; false when it cannot be read.
    virtual bool readFileRange(const std::string& path, std::uint64_t offset, std::size_t length,
                               std::string& contents) const = 0;
    // Reads a regular file whole, following links. Nothing that could block (a
    // FIFO) or never end (a device) is read.
    virtual ReadStatus readWholeFile(const std::string& path, std::string& contents) const = 0;
    // Creates the file if it is missing and empties it; false when that fails.
    virtual bool makeEmptyFile(const std::string& path) const = 0;
    // Creates a file where nothing is yet, never replacing anything, and writes
    // the contents to disk.
    virtual CreateStatus createNewFile(const std::string& path,
                                       const std::string& contents) const = 0;
    // Replaces a file's contents all at once: a temporary file beside it is written,
    // flushed to disk and renamed over it. A read-only file is refused and the old
    // contents stay as they were on any failure. Through a symbolic link the link's
    // target is replaced and the link stays. Temporary files that an interrupted
    // replace left beside the file are removed.
    // The writer fills the temporary file and returns false when it failed.
    virtual bool replaceFile(const std::string& path,
                             const std::function<bool(std::ostream&)>& writer) const = 0;
    // The mounted file systems, the root first.
    virtual std::vector<std::string> drives() const = 0;

    // Processes: start a command line, then poll it by id like the kernel32 calls.
    static constexpr std::uint32_t StillActive = 259;
    // Returns the process id, or 0 when the program could not be started.
    virtual long startProcess(const std::string& commandLine, WindowStyle style) = 0;
    // As startProcess, with a secret for the program to read from the inherited
    // descriptor `descriptor`: the read end of a pipe that holds the secret and then
    // ends. The program inherits nothing else but its standard input and output, and
    // the secret goes through no file, argument or environment variable.
    virtual long startProcessWithSecret(const std::string& commandLine, WindowStyle style,
                                        int descriptor, std::string_view secret) {
        (void)commandLine;
        (void)style;
        (void)descriptor;
        (void)secret;
        return 0;
    }
    // Returns a handle for polling, or 0 when there is no such process.
    virtual long openProcess(long pid) = 0;
    // StillActive while the process runs, then its exit code.
    virtual bool getExitCodeProcess(long handle, std::uint32_t& exitCode) = 0;
    virtual void closeHandle(long handle) = 0;
    // What a process started in a normal window has written to its console since
    // the last call (a console window shows it live); empty for hidden ones.
    virtual std::string takeConsoleOutput(long pid) = 0;
    // Passes what the user typed to the standard input of a process started in a
    // normal window (hidden ones read an empty input); false when it cannot take it.
    virtual bool writeConsoleInput(long pid, const std::string& text) {
        (void)pid;
        (void)text;
        return false;
    }
    // Asks a started process and the programs it started to end (a user's cancel);
    // false when it cannot.
    virtual bool stopProcess(long pid) {
        (void)pid;
        return false;
    }
    // Pause between polls so that waiting does not spin.
    virtual void sleepMilliseconds(int milliseconds) const = 0;
};

}  // namespace stowaway
