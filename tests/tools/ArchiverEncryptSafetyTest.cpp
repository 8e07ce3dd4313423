// Encrypted archives meeting a wrong password or changed bytes: a restore
// writes nothing of an entry that fails, and says which; an update checks
// the password before it writes anything and carries encrypted entries as
// they are.
#include <gtest/gtest.h>

#include "EncryptTestSupport.h"
#include "crypto/KeyDerivation.h"
#include "platform/NativeText.h"

namespace {

using namespace tooltest;

const std::string kPassword = "correct horse battery staple";

class ArchiverEncryptSafety : public ArchiverFixture {
  protected:
    void SetUp() override {
        ArchiverFixture::SetUp();
        WriteListFile(list, {AddFile("a.txt", std::string(5000, 'a')), AddFile("b.txt", "bee"),
                             AddFile("c.bin", Noise(3000, 5))});
        const RunResult r = Backup(kPassword);
        ASSERT_EQ(r.status, 0) << r.output;
    }
    RunResult Backup(const std::string& password) {
        return RunWithPassword(
            {Archiver(), "-add=all", "-path=full", kPasswordOption, archive, "@" + list}, password);
    }
    RunResult Restore(const std::string& password) {
        return RunWithPassword(
            {Archiver(), "-extract=all", "-dir=relative", kPasswordOption, archive, target},
            password);
    }
    std::string Name(const std::string& rel) { return Stored(dir / "data/" + rel); }
    std::string Restored(const std::string& rel) { return target + "/" + Name(rel); }
    EntryBytes Entry(const std::string& rel) { return FindEntry(ReadFile(archive), Name(rel)); }

    std::string target = dir / "target";
};

TEST_F(ArchiverEncryptSafety, AWrongPasswordRestoresNothingAndSaysWhichEntries) {
    const RunResult r = Restore("correct horse battery stapler");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "the password is wrong"), 3) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "cannot restore " + Name("b.txt")), 1) << r.output;
    EXPECT_EQ(CountFiles(target), 0u);
}

// A wrong password passes the 2-byte verifier once in 65,536 tries: made to
// pass here by writing its verifier over the entry's, the HMAC still stops it.
TEST_F(ArchiverEncryptSafety, AWrongPasswordThatPassesTheVerifierIsCaughtByTheHmac) {
    const std::string wrong = "not the password";
    const EntryBytes b = Entry("b.txt");
    std::string zip = ReadFile(archive);
    unsigned char derived[66];
    pkzip::crypto::DeriveKeys(wrong, reinterpret_cast<const unsigned char*>(zip.data() + b.data),
                              16, derived, sizeof derived);
    zip[b.data + 16] = static_cast<char>(derived[64]);
    zip[b.data + 17] = static_cast<char>(derived[65]);
    WriteFile(archive, zip);

    const RunResult r = Restore(wrong);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, Name("b.txt") + ": the entry is damaged: its authentication "
                                                       "code does not match"),
              1)
        << r.output;
    EXPECT_EQ(CountFiles(target), 0u);

    // An update with that password stops before it writes anything.
    WriteListFile(list, {AddFile("new.txt", "new")});
    const std::string before = ReadFile(archive);
    const RunResult u = Backup(wrong);
    EXPECT_EQ(u.status, 2) << u.output;
    EXPECT_NE(u.output.find("the password cannot be checked against the existing archive"),
              std::string::npos)
        << u.output;
    EXPECT_EQ(ReadFile(archive), before);
}

TEST_F(ArchiverEncryptSafety, AChangedByteInTheDataOrTheCodeRestoresNothingOfThatEntry) {
    const EntryBytes a = Entry("a.txt");
    const EntryBytes c = Entry("c.bin");
    ASSERT_GT(a.length, 28u);
    FlipByte(archive, a.data + 18 + 1);        // the encrypted data
    FlipByte(archive, c.data + c.length - 3);  // the authentication code
    const RunResult r = Restore(kPassword);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "authentication code does not match"), 2) << r.output;
    EXPECT_FALSE(fs::exists(toPath(Restored("a.txt"))));
    EXPECT_FALSE(fs::exists(toPath(Restored("c.bin"))));
    EXPECT_EQ(ReadFile(Restored("b.txt")), "bee");
    EXPECT_EQ(CountFiles(target), 1u);  // no work file left either
}

TEST_F(ArchiverEncryptSafety, AnEntryCutShortRestoresNothingOfIt) {
    const EntryBytes a = Entry("a.txt");
    SetCompressedSize(archive, Name("a.txt"), static_cast<uint32_t>(a.length - 5));
    SetCompressedSize(archive, Name("c.bin"), 20);  // not even salt, verifier and code
    const RunResult r = Restore(kPassword);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, Name("a.txt") + ": the entry is damaged: its authentication "
                                                       "code does not match"),
              1)
        << r.output;
    EXPECT_EQ(CountLinesWith(r.output, Name("c.bin") + ": the entry is damaged: its encrypted data "
                                                       "is cut short"),
              1)
        << r.output;
    EXPECT_EQ(ReadFile(Restored("b.txt")), "bee");
    EXPECT_EQ(CountFiles(target), 1u);
}

// 7-Zip writes AE-2 for every entry; WinZip has written AE-1, which keeps
// the CRC: read too, and its CRC checked besides the code.
TEST_F(ArchiverEncryptSafety, Ae1EntriesAreReadWithTheirCrcChecked) {
    const std::string good = ReadFile(archive);
    MakeAe1(archive, Name("b.txt"), 0x9140cc69u);  // CRC-32 of "bee"
    RunResult r = Restore(kPassword);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(Restored("b.txt")), "bee");

    WriteFile(archive, good);
    MakeAe1(archive, Name("b.txt"), 0x9140cc68u);
    fs::remove_all(toPath(target));
    r = Restore(kPassword);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, Name("b.txt") + ": the entry is damaged: CRC check failed"),
              1)
        << r.output;
    EXPECT_FALSE(fs::exists(toPath(Restored("b.txt"))));
}

TEST_F(ArchiverEncryptSafety, AWrongPasswordLeavesTheOldArchiveUntouched) {
    WriteListFile(list, {AddFile("new.txt", "new")});
    const std::string before = ReadFile(archive);
    const RunResult u = Backup("Correct horse battery staple");
    EXPECT_EQ(u.status, 2) << u.output;
    EXPECT_NE(u.output.find("the password is wrong for the existing archive"), std::string::npos)
        << u.output;
    EXPECT_EQ(u.output.find("orse battery"), std::string::npos) << u.output;
    EXPECT_EQ(ReadFile(archive), before);
}

TEST_F(ArchiverEncryptSafety, AnUpdateCarriesEncryptedEntriesAsTheyAre) {
    const std::string zip = ReadFile(archive);
    const EntryBytes a = Entry("a.txt");
    const std::string oldA = zip.substr(a.data, a.length);
    WriteListFile(list, {AddFile("new.txt", "new"), dir / "data/b.txt"});
    WriteFile(dir / "data/b.txt", "bee two");
    const RunResult u = Backup(kPassword);
    ASSERT_EQ(u.status, 0) << u.output;
    EXPECT_NE(u.output.find("2 files added or updated, 2 kept"), std::string::npos) << u.output;
    const EntryBytes carried = Entry("a.txt");
    EXPECT_EQ(ReadFile(archive).substr(carried.data, carried.length), oldA);

    const RunResult r = Restore(kPassword);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(Restored("a.txt")), std::string(5000, 'a'));
    EXPECT_EQ(ReadFile(Restored("b.txt")), "bee two");
    EXPECT_EQ(ReadFile(Restored("new.txt")), "new");
}

// An entry too large to check in memory streams to its work file, and only
// its authentication code at the end tells: the work file goes, nothing is placed.
TEST_F(ArchiverEncryptSafety, ALargeEntryWithAChangedByteLeavesNoFile) {
    WriteListFile(list, {AddFile("large.bin", Noise(66 << 20, 11))});
    fs::remove(toPath(archive));
    const RunResult made = Backup(kPassword);
    ASSERT_EQ(made.status, 0) << made.output;
    const EntryBytes large = Entry("large.bin");
    ASSERT_GT(large.length, 64u << 20);
    FlipByte(archive, large.data + (65 << 20));
    const RunResult r = Restore(kPassword);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "authentication code does not match"), 1) << r.output;
    EXPECT_EQ(CountFiles(target), 0u);
}

// The check before carrying authenticates encrypted entries: a changed one
// whose file is not listed stops the update.
TEST_F(ArchiverEncryptSafety, AnUpdateFindsAChangedEncryptedEntryBeforeCarryingIt) {
    const EntryBytes c = Entry("c.bin");
    FlipByte(archive, c.data + 100);
    const std::string before = ReadFile(archive);
    WriteListFile(list, {AddFile("new.txt", "new")});
    const RunResult u = Backup(kPassword);
    EXPECT_EQ(u.status, 2) << u.output;
    EXPECT_NE(u.output.find("holds a damaged entry " + Name("c.bin")), std::string::npos)
        << u.output;
    EXPECT_EQ(ReadFile(archive), before);
}

}  // namespace
