// How the archiver may be started: through the dynamic loader by name, and
// under a loader that drops the huge-page setting it restarts itself with.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/auxv.h>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

// The dynamic loader this test runs under is the archiver's too.
std::string Loader() {
    Dl_info info{};
    const auto base = reinterpret_cast<void*>(::getauxval(AT_BASE));
    if (base == nullptr || ::dladdr(base, &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

// Runs argv with `env` added, under a CPU-time limit that an exec does not reset.
RunResult RunUnderCpuLimit(const std::vector<std::string>& argv, std::vector<std::string> env,
                           rlim_t seconds) {
    return RunLimited(argv, [&] {
        for (std::string& e : env) ::putenv(e.data());
        const struct rlimit cpu { seconds, seconds };
        ::setrlimit(RLIMIT_CPU, &cpu);
    });
}

class ArchiverStart : public ::testing::Test {
  protected:
    ScratchDir dir;
    std::string archive = dir / "backup.zip";
    std::string list = dir / "files.lst";

    void SetUp() override { WriteListFile(list, {AddDataFile(dir, "a.txt", "some text\n")}); }
    void ExpectArchiveMade(const RunResult& r) {
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "done."), 1) << r.output;
        EXPECT_EQ(RunProgram({"/usr/bin/unzip", "-tq", archive}).status, 0);
    }
};

TEST_F(ArchiverStart, ThroughTheDynamicLoaderByName) {
    const std::string loader = Loader();
    ASSERT_FALSE(loader.empty());
    ExpectArchiveMade(
        RunProgram({loader, Archiver(), "-add=all", "-path=full", archive, "@" + list}));
}

// A loader that drops GLIBC_TUNABLES (as for a set-id program) would have
// the archiver start itself again and again; a CPU limit ends such a loop.
TEST_F(ArchiverStart, ALoaderThatDropsTheHugePageSettingStartsItOnlyOnce) {
    ExpectArchiveMade(RunUnderCpuLimit(
        {Archiver(), "-add=all", "-path=full", archive, "@" + list},
        {"LD_PRELOAD=" STOWAWAY_DROP_TUNABLES, "ASAN_OPTIONS=verify_asan_link_order=0"}, 10));
}

}  // namespace
