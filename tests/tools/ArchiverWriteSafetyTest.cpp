// The archiver's write side under awkward data and a hostile environment:
// shapes that once failed the self-check, limits, errors and odd files.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

std::string Noise(size_t size, unsigned seed) {
    std::string noise(size, '\0');
    for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 24);
    return noise;
}

std::string Text(size_t size) {
    std::string t;
    for (int i = 0; t.size() < size; ++i) t += "record " + std::to_string(i * 7919 % 10007) + ";\n";
    t.resize(size);
    return t;
}

class ArchiverWrite : public ::testing::Test {
  protected:
    ScratchDir dir;
    std::string archive = dir / "out/backup.zip";
    std::string list = dir / "files.lst";

    void SetUp() override { fs::create_directories(dir / "out"); }

    std::string AddFile(const std::string& rel, const std::string& content) {
        const std::string p = dir / ("data/" + rel);
        WriteFile(p, content);
        return p;
    }
    void WriteList(const std::vector<std::string>& paths) {
        std::string text;
        for (const std::string& p : paths) text += p + "\r\n";
        WriteFile(list, text);
    }
    std::vector<std::string> Args(const std::string& add, int level) {
        return {Archiver(), add, "-lev=" + std::to_string(level), "-path=full", archive,
                "@" + list};
    }
    RunResult Add(int level = 6, const std::string& add = "-add=all") {
        return RunProgram(Args(add, level));
    }
    long FilesInOut() {
        return std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator());
    }
    // Python's reading of one entry: "<method> <size> <compressed size>".
    std::string EntryFacts(const std::string& name) {
        return Python(
                   "import sys, zipfile\ni = zipfile.ZipFile(sys.argv[1]).getinfo(sys.argv[2])\n"
                   "print(i.compress_type, i.file_size, i.compress_size)",
                   {archive, name})
            .output;
    }
};

// Shapes whose deflate stream ends with output still pending once all input
// is used: long zero runs ending near multiples of the checker's buffer.
TEST_F(ArchiverWrite, EveryLevelStoresZeroRunsRandomThenZerosAndText) {
    std::vector<std::string> files;
    for (size_t k = 1; k <= 4; ++k) {
        for (long d : {-7L, 0L, 1L, 21L, 300L}) {
            const size_t n = k * 262144 + d;
            files.push_back(AddFile("zeros-" + std::to_string(n), std::string(n, '\0')));
        }
    }
    files.push_back(AddFile("noise-then-zeros",
                            Noise(100000, 7) + std::string(262165 - 100000 + 262144, '\0')));
    files.push_back(AddFile("text-then-zeros", Text(200000) + std::string(62165, '\0')));
    files.push_back(AddFile("text", Text(3 << 20)));
    files.push_back(AddFile("zeros-3MiB", std::string(3 << 20, '\0')));
    WriteList(files);
    for (int level = 0; level <= 9; ++level) {
        const RunResult r = Add(level);
        EXPECT_EQ(r.status, 0) << "level " << level << "\n" << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "done."), static_cast<int>(files.size())) << level;
        EXPECT_EQ(RunProgram({"/usr/bin/unzip", "-tq", archive}).status, 0) << level;
    }
}

}  // namespace
