#include "support/TestPlatforms.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/NativeText.h"
#include "ui/main/ControlStates.h"

namespace stowaway::test {

namespace fs = std::filesystem;

TempDir::~TempDir() {
    std::error_code ec;
    // Folders made read-only by a test must be writable again to be removed.
    for (auto it = fs::recursive_directory_iterator(toPath(path_), ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(toPath(path_), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(toPath(path_), ec);
}

WindowsFlavourPlatform::WindowsFlavourPlatform(std::string root, std::string programFolder)
    : NativePlatform(PathStyle::Windows(), std::move(programFolder)), root_(std::move(root)) {}

std::string WindowsFlavourPlatform::native(const std::string& path) const {
    if (path.size() < 2 || path[1] != ':') return path;
    std::string out = root_ + "/" + path.substr(0, 1);
    for (char c : path.substr(2)) out += (c == '\\') ? '/' : c;
    return out;
}

void LetEveryoneIn(const std::string& folder) {
    for (auto it = fs::recursive_directory_iterator(toPath(folder)); it != fs::end(it); ++it)
        fs::permissions(it->path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(toPath(folder), fs::perms::all, fs::perm_options::add);
}

CrateRecord Documents() {
    CrateRecord c;
    c.Name = "Documents";
    c.BackupLocation = "C:\\Backup\\SWBackup.zip";
    c.RestoreLocation = "C:\\Backup";
    c.Compression = 5;
    c.FolderMax = 2;
    CrateRecord::SetEntry(c.Folders, 0, "R+ C:\\My Documents\\*.*");
    CrateRecord::SetEntry(c.Folders, 1, "R- Include: C:\\Work\\*.doc");
    c.FileMax = 1;
    CrateRecord::SetEntry(c.Files, 0, "C:\\AUTOEXEC.BAT");
    return c;
}

std::string ReadFile(const std::string& nativePath) {
    std::ifstream in(toPath(nativePath), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& nativePath, const std::string& bytes) {
    fs::create_directories(toPath(nativePath).parent_path());
    std::ofstream out(toPath(nativePath), std::ios::binary | std::ios::trunc);
    out << bytes;
}

TestProgram::TestProgram(bool windowsFlavour, std::string programFolder) {
    if (windowsFlavour) {
        auto windows = std::make_unique<WindowsFlavourPlatform>(
            dir.path(), programFolder.empty() ? "C:\\Backup" : programFolder);
        fs::create_directories(toPath(windows->native(windows->programFolder())));
        platform = std::move(windows);
    } else {
        platform =
            std::make_unique<NativePlatform>(programFolder.empty() ? dir.path() : programFolder);
    }
    app = std::make_unique<App>(*platform, ui);
    auto recorder = std::make_unique<RecordingNotifier>();
    notifier = recorder.get();
    app->notifier = std::move(recorder);
    app->WindowsDir = platform->windowsDir();
    app->DataFilePath = platform->style().join(app->ProgramFolder, "Stowaway.dat");
}

}  // namespace stowaway::test
