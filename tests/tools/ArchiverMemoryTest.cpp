// Memory per entry: every mode of the archiver run on a small and a large
// tree of tiny files with long paths, and its peak resident size compared.
// The difference, divided by the extra entries, is what each entry costs; a
// fixed cost (threads, buffers) drops out. No timing is measured.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/ToolTestSupport.h"

namespace tooltest {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr size_t kSmall = 1000;
constexpr size_t kLarge = 50000;

// Peak resident kilobytes of the program run to its end (output discarded).
// A child starts with what this process holds at the fork, which counts in
// its peak: the heap's free pages go back first, so that small and large
// runs start alike.
long PeakKb(const std::vector<std::string>& argv, int& status) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::malloc_trim(0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int st = 0;
    struct rusage usage {};
    while (::wait4(pid, &st, 0, &usage) < 0) {
        if (errno != EINTR) return -1;
    }
    status = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
    return usage.ru_maxrss;
}

// `count` one-line files with paths of about 120 bytes, 200 to a folder,
// all dated 2020 so that a file touched now is newer; returns the list file.
std::string MakeTree(const std::string& root, size_t count) {
    const std::string listFile = root + ".lst";
    std::ofstream list(listFile, std::ios::binary);
    const struct timespec old[2] = {{1577836800, 0}, {1577836800, 0}};
    std::string dir;
    for (size_t i = 0; i < count; ++i) {
        char folder[96], leaf[64];
        std::snprintf(folder, sizeof folder, "/folder-with-a-longish-name-%04zu", i / 200);
        std::snprintf(leaf, sizeof leaf, "/file-number-%06zu-with-a-few-words.txt", i);
        if (i % 200 == 0) {
            dir = root + folder;
            fs::create_directories(toPath(dir));
        }
        const std::string path = dir + leaf;
        WriteFile(path, "entry " + std::to_string(i) + "\n");
        ::utimensat(AT_FDCWD, path.c_str(), old, 0);
        list << path << '\n';
    }
    list.close();
    EXPECT_TRUE(list) << listFile;
    return listFile;
}

struct ModePeaks {
    long backup = 0, unchanged = 0, touched = 0, restore = 0, listing = 0;
};

ModePeaks RunEveryMode(const ScratchDir& dir, const std::string& name, size_t count) {
    const std::string list = MakeTree(dir / name, count);
    const std::string zip = dir / (name + ".zip");
    ModePeaks p;
    int st = -1;
    p.backup = PeakKb({Archiver(), "-add=all", "-lev=6", "-path=full", zip, "@" + list}, st);
    EXPECT_EQ(st, 0) << "backup of " << count;
    p.unchanged = PeakKb({Archiver(), "-add=update", "-lev=6", "-path=full", zip, "@" + list}, st);
    EXPECT_EQ(st, 0) << "update of " << count;
    // One file in a hundred newer.
    for (size_t i = 0; i < count; i += 100) {
        char leaf[64];
        std::snprintf(leaf, sizeof leaf, "/file-number-%06zu-with-a-few-words.txt", i);
        char folder[96];
        std::snprintf(folder, sizeof folder, "/folder-with-a-longish-name-%04zu", i / 200);
        ::utimensat(AT_FDCWD, (dir / name + folder + leaf).c_str(), nullptr, 0);
    }
    p.touched = PeakKb({Archiver(), "-add=update", "-lev=6", "-path=full", zip, "@" + list}, st);
    EXPECT_EQ(st, 0) << "update of " << count << " with some touched";
    p.restore =
        PeakKb({Archiver(), "-extract=all", "-dir=relative", zip, dir / (name + "-out")}, st);
    EXPECT_EQ(st, 0) << "restore of " << count;
    p.listing = PeakKb({Archiver(), "-view=brief", zip}, st);
    EXPECT_EQ(st, 0) << "listing of " << count;
    return p;
}

long PerEntry(long smallKb, long largeKb) {
    return (largeKb - smallKb) * 1024 / static_cast<long>(kLarge - kSmall);
}

// The bounds leave room above today's cost (about 315, 175, 260, 80 and 80
// bytes); an update that held its list files whole and the old directory in
// memory cost 425 and 490 bytes, records kept in memory to the end 390 and
// 600 bytes in a backup and an update, a restore that held the whole
// directory 240, and the code before compact records 1,500 to 2,700 in every
// mode but the listing.
TEST(ArchiverMemory, EveryModeCostsFewHundredBytesPerEntryAndTheListingNearlyNone) {
    if (kSanitized) GTEST_SKIP() << "a sanitizer's allocator says nothing about ours";
    ScratchDir dir;
    const ModePeaks small = RunEveryMode(dir, "small", kSmall);
    const ModePeaks large = RunEveryMode(dir, "large", kLarge);
    EXPECT_LT(PerEntry(small.backup, large.backup), 360) << "backup";
    EXPECT_LT(PerEntry(small.unchanged, large.unchanged), 260) << "update, nothing newer";
    EXPECT_LT(PerEntry(small.touched, large.touched), 350) << "update, 1 % newer";
    EXPECT_LT(PerEntry(small.restore, large.restore), 160) << "restore";
    EXPECT_LT(PerEntry(small.listing, large.listing), 160) << "listing";
}

}  // namespace
}  // namespace tooltest
