// AES-256 (WinZip AE-2) archives: what the archiver writes opens with the
// password in 7-Zip and bsdtar and in our own restore, byte for byte; 7-Zip's
// own AES archives restore here; names, the header and the listing stay
// readable without it; the password shows in no output.
#include <gtest/gtest.h>

#include "EncryptTestSupport.h"
#include "platform/NativeText.h"

namespace {

using namespace tooltest;

const std::string kPassword = "Tr0ub4dor &3 \"quoted\" $HOME";

class ArchiverEncrypt : public ArchiverFixture {
  protected:
    void SetUp() override {
        ArchiverFixture::SetUp();
        files = {
            {"empty.txt", ""},
            {"one.txt", "x"},
            {"text/readme.txt", std::string(40000, 'a') + "the end\n"},
            {"text/noise.bin", Noise(70000, 7)},
            // Larger than a piece read whole: encrypted by the writer, not a worker.
            {"big/mixed.bin", Noise(5 << 20, 3) + std::string(6 << 20, 'z')},
        };
        std::vector<std::string> paths;
        for (const auto& [rel, content] : files) paths.push_back(AddFile(rel, content));
        WriteListFile(list, paths);
    }

    RunResult Backup(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv = {Archiver(), "-add=all", "-path=full", kPasswordOption};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.push_back(archive);
        argv.push_back("@" + list);
        return Remember(RunWithPassword(argv, kPassword));
    }
    RunResult Restore(const std::string& target, const std::string& password) {
        return Remember(RunWithPassword(
            {Archiver(), "-extract=all", "-dir=relative", kPasswordOption, archive, target},
            password));
    }
    RunResult Remember(RunResult r) {
        outputs += r.output;
        return r;
    }
    // Each file's content restored below `target`.
    void ExpectRestored(const std::string& target) {
        for (const auto& [rel, content] : files) {
            const std::string stored = Stored(dir / "data/" + rel);
            ASSERT_TRUE(fs::exists(toPath(target + "/" + stored))) << rel;
            EXPECT_TRUE(ReadFile(target + "/" + stored) == content) << rel;
        }
    }

    std::vector<std::pair<std::string, std::string>> files;
    std::string outputs;  // every run's output, searched for the password
};

TEST_F(ArchiverEncrypt, RoundTripsEveryKindOfEntryAtEveryLevelWithoutShowingThePassword) {
    for (const char* level : {"-lev=0", "-lev=1", "-lev=9"}) {
        SCOPED_TRACE(level);
        fs::remove(toPath(archive));
        const RunResult made = Backup({level});
        ASSERT_EQ(made.status, 0) << made.output;
        EXPECT_EQ(CountLinesWith(made.output, "done."), 5);
        const std::string target = dir / (std::string("restored") + level);
        const RunResult r = Restore(target, kPassword);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 5);
        ExpectRestored(target);
    }
    // Every file entry is AES-encrypted; names stay readable.
    const RunResult listing = RunProgram({Archiver(), "-view=brief", archive});
    EXPECT_EQ(listing.status, 0) << listing.output;
    EXPECT_EQ(CountLinesWith(listing.output, "AES-"), 5) << listing.output;
    EXPECT_EQ(CountLinesWith(listing.output, "text/readme.txt"), 1);
    EXPECT_EQ(outputs.find("Tr0ub4dor"), std::string::npos);
}

TEST_F(ArchiverEncrypt, SevenZipAndBsdtarOpenOursAndFindTheWrongPassword) {
    STOWAWAY_NEEDS(PeerTools);
    const RunResult made = Backup({"-lev=6"});
    ASSERT_EQ(made.status, 0) << made.output;
    const RunResult tested = SevenZip(archive, {"t", "-p" + kPassword});
    EXPECT_EQ(tested.status, 0) << tested.output;
    EXPECT_NE(tested.output.find("Everything is Ok"), std::string::npos) << tested.output;
    const RunResult wrong = SevenZip(archive, {"t", "-pnot it"});
    EXPECT_NE(wrong.status, 0) << wrong.output;

    // 7-Zip's -o takes '*' for the archive's name: a plain folder.
    const std::string by7z = "/tmp/h3-7zx-" + std::to_string(::getpid());
    const RunResult x = SevenZip(archive, {"x", "-y", "-p" + kPassword, "-o" + by7z});
    EXPECT_EQ(x.status, 0) << x.output;
    ExpectRestored(by7z);
    fs::remove_all(toPath(by7z));

    // libarchive 3.6 (Debian 12) reads WinZip AES.
    const std::string byTar = dir / "bytar";
    fs::create_directories(toPath(byTar));
    const RunResult t = RunProgram(
        {"/usr/bin/bsdtar", "-x", "-C", byTar, "--passphrase", kPassword, "-f", archive});
    EXPECT_EQ(t.status, 0) << t.output;
    ExpectRestored(byTar);
}

TEST_F(ArchiverEncrypt, RestoresSevenZipsOwnAesArchives) {
    STOWAWAY_NEEDS(PeerTools);
    // 7-Zip takes the '*' of the scratch folder as a wildcard: it is given a plain link.
    const std::string plain = "/tmp/h3-7z-" + std::to_string(::getpid());
    fs::remove_all(toPath(plain));
    fs::create_directories(toPath(plain));
    fs::create_directory_symlink(toPath(dir / "data"), toPath(plain + "/data"));
    const std::string made = dir / "out/by7z.zip";
    const RunResult a =
        RunProgram({"/usr/bin/7z", "a", "-tzip", "-mem=AES256", "-p" + kPassword,
                    plain + "/by7z.zip", plain + "/data/text", plain + "/data/empty.txt"});
    ASSERT_EQ(a.status, 0) << a.output;
    fs::rename(toPath(plain + "/by7z.zip"), toPath(made));
    fs::remove_all(toPath(plain));
    archive = made;
    const std::string target = dir / "from7z";
    const RunResult r = Restore(target, kPassword);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(target + "/text/readme.txt"), files[2].second);
    EXPECT_EQ(ReadFile(target + "/text/noise.bin"), files[3].second);
    EXPECT_EQ(ReadFile(target + "/empty.txt"), "");
}

TEST_F(ArchiverEncrypt, SplitSetsAreEncryptedAndReadBack) {
    const RunResult made = Backup({"-span=256k"});
    ASSERT_EQ(made.status, 0) << made.output;
    EXPECT_NE(made.output.find("volumes and checked"), std::string::npos) << made.output;
    EXPECT_TRUE(fs::exists(toPath(dir / "out/backup.z01")));
    const std::string target = dir / "restored";
    const RunResult r = Restore(target, kPassword);
    EXPECT_EQ(r.status, 0) << r.output;
    ExpectRestored(target);
    if (Has(stowaway::test::Facility::PeerTools)) {
        const RunResult tested = SevenZip(archive, {"t", "-p" + kPassword});
        EXPECT_NE(tested.output.find("Everything is Ok"), std::string::npos) << tested.output;
    }
}

// A file past 4 GiB (sparse, so it costs little disk) gets Zip64 sizes; the
// check after writing decrypts, authenticates and inflates it all.
TEST_F(ArchiverEncrypt, Zip64SizesAreEncryptedToo) {
    const std::string huge = dir / "data/huge.bin";
    {
        std::ofstream out(toPath(huge), std::ios::binary);
        out << "start";
        out.seekp((4ll << 30) + 4096);
        out << "end";
    }
    WriteListFile(list, {huge});
    const RunResult made = Backup({"-lev=1"});
    ASSERT_EQ(made.status, 0) << made.output;
    const RunResult listing = RunProgram({Archiver(), "-view=brief", archive});
    EXPECT_NE(listing.output.find("4294971395"), std::string::npos) << listing.output;
    EXPECT_NE(listing.output.find("AES-Defl"), std::string::npos) << listing.output;
}

TEST_F(ArchiverEncrypt, TheHeaderAndNamesNeedNoPasswordButTheFilesDo) {
    const std::string header = dir / "header.txt";
    WriteFile(header, "Crate: Documents\r\nFolders: 2\r\n");
    const RunResult made = Backup({"-header=@" + header});
    ASSERT_EQ(made.status, 0) << made.output;
    const RunResult listing = RunProgram({Archiver(), "-view=brief", archive});
    EXPECT_EQ(listing.status, 0) << listing.output;
    EXPECT_NE(listing.output.find("Crate: Documents"), std::string::npos) << listing.output;

    const std::string target = dir / "restored";
    const RunResult r = RunProgram({Archiver(), "-extract=all", "-dir=relative", archive, target});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("is encrypted and needs a password (5 encrypted file(s) not restored)"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
    EXPECT_EQ(CountFiles(target), 0u);
}

TEST_F(ArchiverEncrypt, APasswordDescriptorThatGivesNothingStopsTheRun) {
    const RunResult empty = RunWithPassword(
        {Archiver(), "-add=all", "-path=full", kPasswordOption, archive, "@" + list}, "");
    EXPECT_EQ(empty.status, 2) << empty.output;
    EXPECT_NE(empty.output.find("the password is empty"), std::string::npos) << empty.output;
    const RunResult closed =
        RunProgram({Archiver(), "-add=all", "-path=full", "-password-fd=47", archive, "@" + list});
    EXPECT_EQ(closed.status, 2) << closed.output;
    EXPECT_NE(closed.output.find("not open"), std::string::npos) << closed.output;
    EXPECT_FALSE(fs::exists(toPath(archive)));
}

}  // namespace
