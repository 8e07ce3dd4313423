// Start-up memory and the load and save time of a full data file: 513 Crates of
// 4097 folder rules and 4097 files each.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include "platform/PosixPlatform.h"
#include "startup/App.h"
#include "store/DataFile.h"
#include "ui/main/DataFileCommands.h"

namespace {

long StatusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return -1;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "/tmp/stowaway-store-bench";
    std::string mkdir = "mkdir -p '" + folder + "'";
    if (std::system(mkdir.c_str()) != 0) return 1;

    long before = StatusKiB("VmRSS:");
    stowaway::PosixPlatform platform(folder);
    stowaway::HeadlessUiServices ui;
    auto app = std::make_unique<stowaway::App>(platform, ui);
    app->DataFilePath = folder + "/Stowaway.dat";
    app->WindowsDir = platform.windowsDir();
    long after = StatusKiB("VmRSS:");
    std::printf("empty program state: %zu bytes (table %zu bytes); RSS %ld KiB -> %ld KiB\n",
                sizeof(stowaway::App), sizeof(stowaway::CrateStore), before, after);

    {
        std::ofstream out(app->DataFilePath, std::ios::binary | std::ios::trunc);
        out << "\"MAX=512\"\r\n\"LOGPATH=" << folder
            << "/Log.txt\"\r\n\"LOGVIEW=/usr/bin/xdg-open\"\r\n";
        for (int s = 0; s <= 512; ++s) {
            out << "\"SNAME=Crate " << s << "\"\r\n\"SBLOC=/backups/crate" << s
                << ".zip\"\r\n\"SRLOC=/"
                   "restore\"\r\n\"SCOMP=6\"\r\n\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n"
                << "\"SFOLDMAX=4097\"\r\n\"SFILEMAX=4097\"\r\n";
            for (int j = 0; j < 4097; ++j)
                out << "\"SFOLD=R+ Include: /home/user/projects/p" << j << "/*.cpp\"\r\n";
            for (int j = 0; j < 4097; ++j)
                out << "\"SFILE=/home/user/documents/file" << j << ".txt\"\r\n";
        }
    }
    std::ifstream sizeProbe(app->DataFilePath, std::ios::binary | std::ios::ate);
    std::printf("data file: %.1f MB\n", static_cast<double>(sizeProbe.tellg()) / 1e6);

    auto t0 = std::chrono::steady_clock::now();
    stowaway::LoadDataFile(*app);
    double load = Seconds(t0);
    std::printf("load: %.2f s, %d Crates, RSS %ld KiB\n", load, app->FrmMain.LstCrate.count(),
                StatusKiB("VmRSS:"));

    t0 = std::chrono::steady_clock::now();
    stowaway::SaveDataFile(*app);
    double save = Seconds(t0);
    std::printf("save: %.2f s; peak RSS %ld KiB\n", save, StatusKiB("VmHWM:"));
    return 0;
}
