#include "Launch.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "PathCase.h"
#include "platform/NativeText.h"
#include "platform/os/Process.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace interp {
namespace {

namespace fs = std::filesystem;

constexpr int kCannotStart = 127;

#ifdef _WIN32
constexpr char kPathSeparator = ';';
constexpr const char* kSlashes = "/\\:";
#else
constexpr char kPathSeparator = ':';
constexpr const char* kSlashes = "/";
#endif

bool IsExecutableFile(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(stowaway::toPath(path), ec)) return false;
#ifdef _WIN32
    return true;
#else
    return ::access(path.c_str(), X_OK) == 0;
#endif
}

// A program file of that name in `folder`; on Windows also with ".exe" added.
std::string InFolder(const std::string& folder, const std::string& name) {
    const std::string candidate = tools::ResolvePathCase(folder + "/" + name);
    if (IsExecutableFile(candidate)) return candidate;
#ifdef _WIN32
    if (IsExecutableFile(candidate + ".exe")) return candidate + ".exe";
#endif
    return {};
}

// One line on the command's standard error: ours, or its output file (appended,
// as the command's own lines would be).
void Report(const std::string& outputFile, const std::string& text) {
    const std::string line = "stowaway-cmd: " + text + "\n";
    if (outputFile.empty()) {
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        return;
    }
    std::ofstream out(stowaway::toPath(outputFile), std::ios::binary | std::ios::app);
    out << line;
}

}  // namespace

int PassedDescriptor(const std::vector<std::string>& args) {
    static const std::string option = "-password-fd=";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() <= option.size() ||
            !std::equal(option.begin(), option.end(), arg.begin(), [](char a, char b) {
                return a == std::tolower(static_cast<unsigned char>(b));
            }))
            continue;
        int fd = 0;
        for (std::size_t at = option.size(); at < arg.size(); ++at) {
            if (!std::isdigit(static_cast<unsigned char>(arg[at])) || fd > 1000) return -1;
            fd = fd * 10 + (arg[at] - '0');
        }
        return fd >= 3 && stowaway::os::InheritedDescriptor(fd) != stowaway::os::NoHandle ? fd : -1;
    }
    return -1;
}

void CloseOnExecAll() {
    stowaway::os::KeepInheritedToOurselves();
}

std::string FindProgram(const std::string& name, const std::vector<std::string>& folders) {
    if (name.find_first_of(kSlashes) != std::string::npos) return tools::ResolvePathCase(name);
    for (const std::string& folder : folders) {
        const std::string found = InFolder(folder, name);
        if (!found.empty()) return found;
    }
    if (const char* path = std::getenv("PATH")) {
        std::string all = path;
        size_t pos = 0;
        while (pos <= all.size()) {
            size_t end = all.find(kPathSeparator, pos);
            if (end == std::string::npos) end = all.size();
            const std::string dir = end == pos ? "." : all.substr(pos, end - pos);
            const std::string found = InFolder(dir, name);
            if (!found.empty()) return found;
            pos = end + 1;
        }
    }
    return {};
}

int RunCommand(const BatchCommand& cmd, const std::vector<std::string>& folders) {
    const std::string file =
        cmd.outputFile.empty() ? std::string() : tools::ResolvePathCase(cmd.outputFile);
    const std::string program = FindProgram(cmd.args[0], folders);
    if (program.empty()) {
        if (!file.empty()) {
            // The output file is made (or emptied) all the same, as the shell does.
            std::ofstream out(stowaway::toPath(file),
                              std::ios::binary | (cmd.append ? std::ios::app : std::ios::trunc));
            if (!out) {
                Report({},
                       "cannot open " + cmd.outputFile + " for output: " + std::strerror(errno));
                return 1;
            }
        }
        Report(file, "cannot start " + cmd.args[0] + ": program not found");
        return kCannotStart;
    }

    stowaway::os::SpawnSpec spec;
    spec.arguments = cmd.args;
    spec.program = program;
    if (!file.empty()) {
        spec.output = stowaway::os::Stream::ToFile(file, cmd.append);
        spec.error = stowaway::os::Stream::SameAsOutput();
    }
    // A password descriptor named on the line reaches this program alone.
    const int secretFd = PassedDescriptor(cmd.args);
    if (secretFd >= 0) {
        spec.passed = stowaway::os::InheritedDescriptor(secretFd);
        spec.passedAs = secretFd;
    }
    stowaway::os::SpawnFailure failure;
    stowaway::os::Process process = stowaway::os::Process::Start(spec, &failure);
    stowaway::os::CloseDescriptor(secretFd);
    if (!process.started()) {
        if (!failure.file.empty()) {
            Report({}, "cannot open " + cmd.outputFile + " for output: " + failure.reason);
            return 1;
        }
        Report(file, "cannot start " + cmd.args[0] + ": " + failure.reason);
        return kCannotStart;
    }
    return process.wait().status;
}

}  // namespace interp
