// libFuzzer target: the data file's loader on arbitrary bytes, then the writer on
// whatever it loaded. A load either gives a sound table or the damaged-file path.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "FuzzSeeds.h"
#include "platform/PosixPlatform.h"
#include "store/DataFile.h"
#include "store/StoreContext.h"

namespace {

using namespace stowaway;

// The data file is the fuzzer's input; nothing touches the disk.
class InputPlatform : public PosixPlatform {
  public:
    InputPlatform() : PosixPlatform("/nonexistent/stowaway-fuzz") {}
    ReadStatus readWholeFile(const std::string&, std::string& contents) const override {
        contents = input;
        return ReadStatus::Read;
    }
    bool makeEmptyFile(const std::string&) const override { return true; }
    std::string input;
};

// Message boxes are answered at once and not printed.
class QuietBoxes : public MessageBoxes {
  public:
    MsgResult messageBox(const std::string&, const std::string&, MsgButtons, MsgIcon) override {
        return MsgResult::OK;
    }
};

struct Program {
    InputPlatform platform;
    QuietBoxes boxes;
    CrateStore store;
    StoreContext ctx{platform,
                     boxes,
                     store,
                     platform.programFolder(),
                     platform.programFolder() + "/Stowaway.dat",
                     platform.windowsDir()};
};

const char* const Seeds[] = {
    "\"MAX=1\"\r\n\"LOGPATH=/p/Log.txt\"\r\n\"LOGVIEW=/usr/bin/xdg-open\"\r\n"
    "\"SNAME=Documents\"\r\n\"SBLOC=/p/SWBackup.zip\"\r\n\"SRLOC=/p\"\r\n\"SCOMP=5\"\r\n"
    "\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n\"SFOLDMAX=2\"\r\n\"SFILEMAX=1\"\r\n"
    "\"SFOLD=R+ /home/me/*.*\"\r\n\"SFOLD=R- Include: /work/*.doc\"\r\n"
    "\"SFILE=/etc/fstab\"\r\n\"SNAME=Mail\"\r\n\"SBLOC=/m/Mail.zip\"\r\n\"SRLOC=/r\"\r\n"
    "\"SCOMP=9\"\r\n\"SUPDATE=1\"\r\n\"SMULTI=1\"\r\n\"SFOLDMAX=0\"\r\n\"SFILEMAX=0\"\r\n",
    "0\r\nlog.txt\r\nviewer\r\nOld\r\nA:\\Old.zip\r\n6\r\n1\r\n1\r\n0\r\nC:\\Data\\*\r\n",
    "\"LOGVIEW=v\",\"MAX=0\",\"SNAME=a\",\"SFILEMAX=2\",\"SFILE=x\"\r\"SFILE=y\"\n",
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    stowaway::fuzz::WriteSeeds(Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Program program;
    program.platform.input.assign(reinterpret_cast<const char*>(data), size);
    CrateStore& store = program.store;
    store.clearTable();
    store.LogPath = "/p/Log.txt";
    LoadCrateFile(program.ctx);
    if (store.CrateMax < -1 || store.CrateMax > MaxCrateIndex) std::abort();
    for (int s = 0; s <= MaxCrateIndex; ++s) {
        const CrateRecord& r = store.CrateTable[static_cast<std::size_t>(s)];
        // Named slots are exactly 0 to CrateMax, so the Crate list matches the table.
        if (r.Name.empty() != (s > store.CrateMax)) std::abort();
        if (r.FolderMax > EntrySlots || r.FileMax > EntrySlots) std::abort();
    }
    std::ostringstream out;
    WriteDataFile(store, out);
    return 0;
}
