// How the archiver may be started: through the dynamic loader by name.
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

}  // namespace
