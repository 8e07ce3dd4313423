// stowaway-cmd: runs the backup program's batch files in place of the Windows
// command interpreter ("stowaway-cmd /c BATCHFILE").
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "BatchLine.h"
#include "Launch.h"
#include "PathCase.h"
#include "platform/NativeText.h"
#include "platform/os/Program.h"

namespace {

#ifdef _WIN32
constexpr const char* kSlashes = "/\\";
#else
constexpr const char* kSlashes = "/";
#endif

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of(kSlashes);
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string OwnFolder() {
    const std::string self = stowaway::os::ExecutablePath();
    return self.empty() ? std::string() : FolderOf(self);
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

void Usage() {
    std::fputs("usage: stowaway-cmd /c BATCHFILE\n", stderr);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = stowaway::os::ProgramArguments(argc, argv);
    if (args.size() != 3 || Upper(args[1]) != "/C") {
        Usage();
        return 1;
    }
    interp::CloseOnExecAll();
    const std::string batch = tools::ResolvePathCase(args[2]);
    std::ostringstream text;
    {
        // Read whole and closed before any line runs: its programs inherit nothing of it.
        std::ifstream in(stowaway::toPath(batch), std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "stowaway-cmd: cannot open the batch file %s: %s\n",
                         args[2].c_str(), std::strerror(errno));
            return 1;
        }
        text << in.rdbuf();
    }
    const std::vector<std::string> folders = {FolderOf(batch), OwnFolder()};

    bool echo = true;
    int status = 0;
    for (const std::string& raw : interp::SplitBatchLines(text.str())) {
        std::string line = Trim(raw);
        if (line.empty()) continue;
        bool quiet = false;
        if (line[0] == '@') {
            quiet = true;
            line = Trim(line.substr(1));
            if (line.empty()) continue;
        }
        const std::string upper = Upper(line);
        if (upper == "ECHO OFF") {
            echo = false;
            continue;
        }
        if (upper == "ECHO ON") {
            echo = true;
            continue;
        }
        if (upper == "REM" || upper.starts_with("REM ")) continue;
        if (echo && !quiet) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        }
        interp::BatchCommand cmd;
        std::string error;
        if (!interp::ParseBatchLine(line, cmd, error)) {
            std::fprintf(stderr, "stowaway-cmd: %s\n", error.c_str());
            status = 1;
            continue;
        }
        if (cmd.args.empty()) continue;
        status = interp::RunCommand(cmd, folders);
    }
    return status;
}
