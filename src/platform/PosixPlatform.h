#pragma once

#include <map>
#include <string>

#include "platform/DesktopPlatform.h"
#include "platform/os/Process.h"

namespace stowaway {

// The platform layer on Linux and other POSIX systems.
class PosixPlatform : public DesktopPlatform {
  public:
    // programFolder empty: the folder of the running executable.
    explicit PosixPlatform(std::string programFolder = {});
    ~PosixPlatform() override;

    const PathStyle& style() const override { return style_; }
    std::string programFolder() const override { return programFolder_; }
    std::string windowsDir() const override { return "/usr/bin"; }
    std::string native(const std::string& path) const override { return path; }

    std::unique_ptr<OpenFolder> openFolder(const std::string& folder) const override;
    std::optional<std::time_t> fileModified(const std::string& path) const override;
    std::optional<std::uint64_t> fileSize(const std::string& path) const override;
    bool fileExists(const std::string& path) const override;
    bool folderExists(const std::string& path) const override;
    bool removeFile(const std::string& path) const override;
    std::optional<FileInfo> fileInfo(const std::string& path) const override;
    LinkStatus makeHardLink(const std::string& existing, const std::string& link) const override;
    bool readFileRange(const std::string& path, std::uint64_t offset, std::size_t length,
                       std::string& contents) const override;
    ReadStatus readWholeFile(const std::string& path, std::string& contents) const override;
    bool makeEmptyFile(const std::string& path) const override;
    CreateStatus createNewFile(const std::string& path, const std::string& contents) const override;
    bool replaceFile(const std::string& path,
                     const std::function<bool(std::ostream&)>& writer) const override;
    std::vector<std::string> drives() const override;

    long startProcess(const std::string& commandLine, WindowStyle style) override;
    long startProcessWithSecret(const std::string& commandLine, WindowStyle style, int descriptor,
                                std::string_view secret) override;
    long openProcess(long pid) override;
    bool getExitCodeProcess(long handle, std::uint32_t& exitCode) override;
    void closeHandle(long handle) override;
    std::string takeConsoleOutput(long pid) override;
    bool writeConsoleInput(long pid, const std::string& text) override;
    bool stopProcess(long pid) override;
    void sleepMilliseconds(int milliseconds) const override;

    // Where a program name of a command line is found: the interpreter's name maps
    // to the program folder's stand-in, a bare name to the program folder or PATH.
    std::string resolveProgram(const std::string& name) const;

    static std::string ExecutableFolder();

  protected:
    explicit PosixPlatform(PathStyle style, std::string programFolder);

  private:
    struct Child {
        os::Process process;
        bool opened = false;  // someone polls it; otherwise it is reaped in passing
    };
    // secretFd: the read end of the secret's pipe, handed on as descriptor; -1: none.
    long spawn(const std::string& commandLine, WindowStyle style, int secretFd, int descriptor);
    void reapUnpolled();

    PathStyle style_;
    std::string programFolder_;
    std::map<long, Child> children_;
};

// Name of the command interpreter stand-in in the program folder.
inline constexpr const char* InterpreterProgramName = "stowaway-cmd";

}  // namespace stowaway
