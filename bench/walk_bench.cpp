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
// counted. Prints the median and best seconds of each and the walk's ratios to
// find. Hidden folders are left out by the walk, so pass visible folders only.
#include <fcntl.h>
#include <spawn.h>
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs find with its output in `out`; the seconds it took, or -1 when it failed.
double TimeFind(std::vector<std::string> args, const std::string& out) {
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
    const bool ran = posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) == 0 &&
                     ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0;
    const double seconds = Seconds(start);
    posix_spawn_file_actions_destroy(&actions);
    return ran ? seconds : -1;
}

long LineCount(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
}

struct Series {
    const char* name;
    std::vector<double> seconds;
    double median() const { return Median(seconds); }
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
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
        std::ofstream list(walkList, std::ios::binary | std::ios::trunc);
        app.job.FilesToDo = 0;
        app.job.WalkErrors.clear();
        for (const std::string& folder : folders)
            stowaway::WalkFolderRule(app.jobContext(), rulePrefix + folder + "*.*", true, &list);
        list.close();
        return Seconds(start);
    };
    std::vector<std::string> findArgs(folders.begin(), folders.end());
    findArgs.insert(findArgs.end(), {"-type", "f"});
    std::vector<std::string> datedArgs = findArgs;
    datedArgs.insert(datedArgs.end(), {"-printf", "%TY %p\\n"});

    Series find{"find -type f", {}}, whole{"walk, whole-folder rule", {}};
    Series findDated{"find -type f -printf '%TY %p\\n'", {}}, dated{"walk, date rule", {}};
    long findFiles = 0, wholeFiles = 0, datedFindFiles = 0, datedFiles = 0;
    for (int round = 0; round < rounds; ++round) {
        const double f = TimeFind(findArgs, findList);
        findFiles = LineCount(findList);
        const double w = walk("R+ ");
        wholeFiles = app.job.FilesToDo;
        const double fd = TimeFind(datedArgs, findList);
        datedFindFiles = LineCount(findList);
        const double d = walk("R+ After 1/1/1980: ");
        datedFiles = app.job.FilesToDo;
        if (f < 0 || fd < 0) {
            std::fprintf(stderr, "find failed\n");
            return 1;
        }
        if (round == 0) continue;
        find.seconds.push_back(f);
        whole.seconds.push_back(w);
        findDated.seconds.push_back(fd);
        dated.seconds.push_back(d);
    }
    std::printf("files: find %ld, walk %ld; dated: find %ld, walk %ld; walk errors: %zu\n",
                findFiles, wholeFiles, datedFindFiles, datedFiles, app.job.WalkErrors.size());
    std::printf("%d rounds after a warm-up, median (best) seconds\n", rounds - 1);
    for (const Series* s : {&find, &whole, &findDated, &dated})
        std::printf("  %-34s %.4f (%.4f)\n", s->name, s->median(), s->best());
    std::printf("ratio walk/find, whole-folder rule: %.2f (best %.2f)\n",
                whole.median() / find.median(), whole.best() / find.best());
    std::printf("ratio walk/find, date rule:         %.2f (best %.2f)\n",
                dated.median() / findDated.median(), dated.best() / findDated.best());
    return 0;
}
