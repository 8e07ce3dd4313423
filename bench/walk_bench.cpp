// The folder walk against find on the same folders, warm cache.
//
//   walk_bench [--rounds N] FOLDER...
//
// Each round runs, one after the other: `find FOLDER... -type f`, the walk of a
// whole-folder rule "R+ FOLDER/*.*" for each folder, `find ... -type f -printf
// '%TY %p\n'` (every file's year, which a date rule needs), and the walk of a date
// rule "R+ After 1/1/1980: FOLDER/*.*". Each writes its list to a file in /tmp,
// as a backup writes its list file; the walk serves a (counting) window after
// every entry, as a backup does. The first round warms the cache and is not
// counted. Prints the median and best wall seconds of each, the median CPU
// seconds (user and system: steadier than the wall time on a busy machine), and
// the walk's ratios to find. Hidden folders are left out by the walk, so pass
// visible folders only.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/FileWalk.h"
#include "platform/PosixPlatform.h"
#include "startup/App.h"

extern char** environ;

namespace {

// The window's event pump as cheap as the real one is when nothing is pending.
class CountingUi : public stowaway::HeadlessUiServices {
  public:
    void processEvents() override { ++passes; }
    long passes = 0;
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double CpuSeconds(const rusage& r) {
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double OwnCpuSeconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return CpuSeconds(r);
}

struct Timing {
    double wall = -1, cpu = -1;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs find with its output in `out`; wall -1 when it failed.
Timing TimeFind(std::vector<std::string> args, const std::string& out) {
    args.insert(args.begin(), "find");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    rusage usage{};
    const bool ran = posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) == 0 &&
                     ::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0;
    const double seconds = Seconds(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!ran) return {};
    return {seconds, CpuSeconds(usage)};
}

long LineCount(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
}

struct Series {
    const char* name;
    std::vector<double> seconds = {}, cpu = {};
    void add(Timing t) {
        seconds.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    double median() const { return Median(seconds); }
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double medianCpu() const { return Median(cpu); }
};

}  // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(2, std::atoi(argv[++i]));
        else
            folders.push_back(argv[i]);
    }
    if (folders.empty()) {
        std::fprintf(stderr, "usage: walk_bench [--rounds N] FOLDER...\n");
        return 2;
    }
    for (std::string& f : folders)
        if (f.back() != '/') f += '/';

    stowaway::PosixPlatform platform("/tmp");
    CountingUi ui;
    stowaway::App app(platform, ui);
    const std::string findList = "/tmp/stowaway-walk-bench.find";
    const std::string walkList = "/tmp/stowaway-walk-bench.lst";

    auto walk = [&](const std::string& rulePrefix) {
        const auto start = Clock::now();
        const double cpu = OwnCpuSeconds();
        std::ofstream list(walkList, std::ios::binary | std::ios::trunc);
        app.job.FilesToDo = 0;
        app.job.WalkErrors.clear();
        for (const std::string& folder : folders)
            stowaway::WalkFolderRule(app.jobContext(), rulePrefix + folder + "*.*", true, &list);
        list.close();
        return Timing{Seconds(start), OwnCpuSeconds() - cpu};
    };
    std::vector<std::string> findArgs(folders.begin(), folders.end());
    findArgs.insert(findArgs.end(), {"-type", "f"});
    std::vector<std::string> datedArgs = findArgs;
    datedArgs.insert(datedArgs.end(), {"-printf", "%TY %p\\n"});

    Series find{"find -type f"}, whole{"walk, whole-folder rule"};
    Series findDated{"find -type f -printf '%TY %p\\n'"}, dated{"walk, date rule"};
    long findFiles = 0, wholeFiles = 0, datedFindFiles = 0, datedFiles = 0;
    for (int round = 0; round < rounds; ++round) {
        const Timing f = TimeFind(findArgs, findList);
        findFiles = LineCount(findList);
        const Timing w = walk("R+ ");
        wholeFiles = app.job.FilesToDo;
        const Timing fd = TimeFind(datedArgs, findList);
        datedFindFiles = LineCount(findList);
        const Timing d = walk("R+ After 1/1/1980: ");
        datedFiles = app.job.FilesToDo;
        if (f.wall < 0 || fd.wall < 0) {
            std::fprintf(stderr, "find failed\n");
            return 1;
        }
        if (round == 0) continue;
        find.add(f);
        whole.add(w);
        findDated.add(fd);
        dated.add(d);
    }
    std::printf("files: find %ld, walk %ld; dated: find %ld, walk %ld; walk errors: %zu\n",
                findFiles, wholeFiles, datedFindFiles, datedFiles, app.job.WalkErrors.size());
    std::printf("%d rounds after a warm-up: wall seconds median (best), CPU seconds median\n",
                rounds - 1);
    for (const Series* s : {&find, &whole, &findDated, &dated})
        std::printf("  %-34s %.4f (%.4f)  cpu %.4f\n", s->name, s->median(), s->best(),
                    s->medianCpu());
    std::printf("ratio walk/find, whole-folder rule: wall %.2f (best %.2f), cpu %.2f\n",
                whole.median() / find.median(), whole.best() / find.best(),
                whole.medianCpu() / find.medianCpu());
    std::printf("ratio walk/find, date rule:         wall %.2f (best %.2f), cpu %.2f\n",
                dated.median() / findDated.median(), dated.best() / findDated.best(),
                dated.medianCpu() / findDated.medianCpu());
    return 0;
}
