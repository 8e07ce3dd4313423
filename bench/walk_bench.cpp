// The folder walk against a bare std::filesystem walk of the same tree.
//
//   walk_bench FOLDER [ROUNDS]
//
// FOLDER is walked recursively both ways, ROUNDS times each, alternating (the
// first round of each warms the cache and is not counted). The walk runs as a
// backup runs it: events processed after every entry, every path written to a
// list file. Prints the best and median seconds of each and their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/FileWalk.h"
#include "platform/PosixPlatform.h"
#include "startup/App.h"

namespace {

// The window's event pump as cheap as the real one is when nothing is pending.
class CountingUi : public stowaway::HeadlessUiServices {
  public:
    void processEvents() override { ++passes; }
    long passes = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: walk_bench FOLDER [ROUNDS]\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    const int rounds = argc > 2 ? std::max(2, std::atoi(argv[2])) : 7;

    stowaway::PosixPlatform platform("/tmp");
    CountingUi ui;
    stowaway::App app(platform, ui);

    std::vector<double> bare, walk;
    long bareFiles = 0, walkFiles = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        long n = 0;
        std::size_t bytes = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                ++n;
                bytes += entry.path().native().size();
            }
        }
        double b = Seconds(start);
        bareFiles = n;

        start = std::chrono::steady_clock::now();
        // A list file, as the backup writes it.
        std::ofstream list("/tmp/stowaway-walk-bench.lst", std::ios::binary | std::ios::trunc);
        app.job.FilesToDo = 0;
        stowaway::EnumerateFolder(app.jobContext(), folder, "*.*", 0, true, true, stowaway::SelectMode::All,
                                  &list);
        double w = Seconds(start);
        walkFiles = app.job.FilesToDo;
        if (round == 0 || bytes == 0) continue;
        bare.push_back(b);
        walk.push_back(w);
    }
    std::printf("files: bare %ld, walk %ld (events processed: %ld over all rounds)\n", bareFiles,
                walkFiles, ui.passes);
    std::printf("bare std::filesystem walk: best %.4f s, median %.4f s\n",
                *std::min_element(bare.begin(), bare.end()), Median(bare));
    std::printf("EnumerateFolder:           best %.4f s, median %.4f s\n",
                *std::min_element(walk.begin(), walk.end()), Median(walk));
    std::printf("ratio (median): %.2f\n", Median(walk) / Median(bare));
    return 0;
}
