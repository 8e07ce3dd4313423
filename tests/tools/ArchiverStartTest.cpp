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

using ArchiverStart = ArchiverFixture;

TEST_F(ArchiverStart, ThroughTheDynamicLoaderByName) {
    const std::string loader = Loader();
    ASSERT_FALSE(loader.empty());
    WriteListFile(list, {AddFile("a.txt", "some text\n")});
    const RunResult r =
        RunProgram({loader, Archiver(), "-add=all", "-path=full", archive, "@" + list});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "done."), 1) << r.output;
    EXPECT_EQ(UnzipTest(archive), 0);
}

}  // namespace
