// A program for the process tests to start: prints its arguments, echoes the
// first line of its standard input and exits with the status its first argument
// names. Other first arguments:
//   wait          waits for input and never exits on its own
//   err TEXT      TEXT on standard error, "out" on standard output
//   fd N          what descriptor N holds ("fd N: ..."), then which of 3..63 are open
//   env NAME      NAME's value ("NAME=..." or "NAME unset")
//   copy          standard input to standard output and standard error, whole
//   tree          starts itself with "wait" (sharing its output) and waits too
//   interrupt FILE  removes FILE when interrupted, says "ready" and waits
//   hold FILE     opens FILE for reading and writing without letting others read,
//                 write or delete it, says "holding", and waits for input
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "platform/NativeText.h"
#include "platform/os/Interrupt.h"
#include "platform/os/Process.h"

namespace {

bool IsOpen(int fd) {
#ifdef _WIN32
    return _get_osfhandle(fd) != -1;
#else
    return ::fcntl(fd, F_GETFD) != -1;
#endif
}

int ReadSome(int fd, char* buffer, unsigned size) {
#ifdef _WIN32
    return _read(fd, buffer, size);
#else
    return static_cast<int>(::read(fd, buffer, size));
#endif
}

char g_interruptFile[4096];

void RemoveInterruptFile() {
#ifdef _WIN32
    ::DeleteFileA(g_interruptFile);
#else
    ::unlink(g_interruptFile);
#endif
}

[[noreturn]] void WaitForever() {
    std::string line;
    for (;;)
        if (!std::getline(std::cin, line)) {
            std::cin.clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
#endif
    const std::string first = argc > 1 ? argv[1] : "0";
    if (first == "err" && argc > 2) {
        std::cerr << argv[2] << std::flush;
        std::cout << "out" << std::flush;
        return 0;
    }
    if (first == "fd" && argc > 2) {
        const int fd = std::atoi(argv[2]);
        std::string text;
        char buffer[256];
        int n = 0;
        while (IsOpen(fd) && (n = ReadSome(fd, buffer, sizeof buffer)) > 0) text.append(buffer, n);
        std::cout << "fd " << fd << ": " << (IsOpen(fd) ? text : "closed") << "\n";
        for (int other = 3; other < 64; ++other)
            if (other != fd && IsOpen(other)) std::cout << "open: " << other << "\n";
        return 0;
    }
    if (first == "env" && argc > 2) {
        const char* value = std::getenv(argv[2]);
        std::cout << argv[2] << (value ? std::string("=") + value : std::string(" unset")) << "\n";
        return 0;
    }
    if (first == "copy") {
        std::string all;
        char buffer[65536];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
            std::fwrite(buffer, 1, n, stdout);
            std::fwrite(buffer, 1, n, stderr);
        }
        return 0;
    }
    if (first == "tree") {
        stowaway::os::SpawnSpec spec;
        spec.arguments = {argv[0], "wait"};
        stowaway::os::Process below = stowaway::os::Process::Start(spec);
        std::cout << (below.started() ? "started" : "not started") << std::endl;
        WaitForever();
    }
    if (first == "interrupt" && argc > 2) {
        std::snprintf(g_interruptFile, sizeof g_interruptFile, "%s", argv[2]);
        stowaway::os::CleanUpOnInterrupt(RemoveInterruptFile);
        std::cout << "ready" << std::endl;
        WaitForever();
    }
    if (first == "hold" && argc > 2) {
#ifdef _WIN32
        const std::wstring path = stowaway::toWide(argv[2]);
        HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        std::cout << (held != INVALID_HANDLE_VALUE ? "holding" : "cannot hold") << std::endl;
#else
        const int held = ::open(argv[2], O_RDWR);
        std::cout << (held >= 0 ? "holding" : "cannot hold") << std::endl;
#endif
        WaitForever();
    }
    for (int i = 1; i < argc; ++i) std::cout << "argument: " << argv[i] << "\n";
    std::cout << std::flush;
    std::string line;
    if (first == "wait") WaitForever();
    if (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::cout << "got: " << line << std::endl;
    }
    return std::atoi(first.c_str());
}
