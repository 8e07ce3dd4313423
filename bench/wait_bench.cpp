// What waiting for a long archiver run costs the program: a child that runs for
// a few seconds is waited for as a backup waits (events processed, the captured
// output scanned at every poll) and the program's own CPU time is compared with
// the wall time.
//
//   wait_bench [SECONDS]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/OutputScan.h"
#include "engine/ProcessWait.h"
#include "platform/PosixPlatform.h"
#include "startup/App.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string output = "/tmp/stowaway-wait-bench.dat";
    // A growing output, as the archiver writes it: 20,000 lines in all.
    const std::string script =
        "i=0; while [ $i -lt 200 ]; do j=0; while [ $j -lt 100 ]; do "
        "echo '  Adding: /some/folder/file'$i-$j'.txt  Deflating (42%), "
        "done.'; j=$((j+1)); done; sleep " +
        std::to_string(seconds / 200.0) + "; i=$((i+1)); done > " + output;
    std::ofstream(output).close();

    stowaway::PosixPlatform platform("/tmp");
    stowaway::HeadlessUiServices ui;
    stowaway::App app(platform, ui);
    app.job.FilesToDo = 20000;

    const long pid =
        platform.startProcess("/bin/sh -c \"" + script + "\"", stowaway::WindowStyle::Hidden);
    if (pid == 0) return 1;
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = CpuSeconds();
    stowaway::ArchiverOutputScan scan(stowaway::JobKind::Backup);
    long polls = 0;
    stowaway::WaitForProcess(app.jobContext(), pid, false, [&] {
        ++polls;
        scan.feed(output);
        stowaway::MoveJobProgress(app.jobContext(), scan.filesDone(), app.job.FilesToDo);
    });
    scan.feed(output);
    scan.finish();
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("waited %.2f s over %ld polls, %d files counted, progress %.0f\n", wall, polls,
                scan.filesDone(), app.FrmMain.PrBMain.value());
    std::printf("program CPU while waiting: %.3f s = %.2f %% of one core\n", cpu,
                100.0 * cpu / wall);
    return 0;
}
