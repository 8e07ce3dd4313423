// What an update carries over from the old archive: entries are tested
// before they are carried (a damaged one is stored again from its file, or
// the run fails), their bytes are found whole whatever their data descriptor,
// and the check before replacing catches a writer that misstates a record.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

std::string Text(size_t size, int seed) {
    std::string t;
    for (int i = 0; t.size() < size; ++i)
        t += "line " + std::to_string((i * 7919 + seed) % 10007) + " of the file\n";
    t.resize(size);
    return t;
}

// Foreign archives with data descriptors: "stream" is Python's zipfile
// writing to an unseekable stream with Zip64 local headers (descriptor sizes
// in 8 bytes while the central records need no Zip64); "offset" is built by
// hand with Zip64 only for the central records' offsets (descriptor sizes in
// 4 bytes).
constexpr const char* kForeign = R"(
import struct, sys, zlib, zipfile
path, kind = sys.argv[1], sys.argv[2]
gap = kind == 'gap'  # three stray bytes after the first entry's descriptor
texts = [(('line %d of %s\n' % (k, kind)) * 900).encode() for k in range(3)]
if kind == 'stream':
    class Stream:
        def __init__(self, f): self.f = f
        def write(self, b): return self.f.write(b)
        def flush(self): self.f.flush()
    with open(path, 'wb') as raw:
        z = zipfile.ZipFile(Stream(raw), 'w', zipfile.ZIP_DEFLATED)
        for k, t in enumerate(texts):
            with z.open('stream%d.txt' % k, 'w', force_zip64=True) as w:
                w.write(t)
        z.close()
else:
    out, central = bytearray(), bytearray()
    for k, t in enumerate(texts):
        name = ('offset%d.txt' % k).encode()
        c = zlib.compressobj(6, zlib.DEFLATED, -15)
        comp = c.compress(t) + c.flush()
        crc = zlib.crc32(t)
        at = len(out)
        out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 8, 8, 0, 0x21, 0, 0, 0, len(name), 0)
        out += name + comp + struct.pack('<IIII', 0x08074b50, crc, len(comp), len(t))
        if gap and k == 0:
            out += b'xyz'
        extra = struct.pack('<HHQ', 1, 8, at)
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, 8, 8, 0, 0x21, crc,
                               len(comp), len(t), len(name), len(extra), 0, 0, 0, 0, 0xFFFFFFFF)
        central += name + extra
    start = len(out)
    out += central + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 3, 3, len(central), start, 0)
    open(path, 'wb').write(out)
)";

// Each entry of the old archive lies in the new one with the same bytes from
// its local header to where the next record began, and a record follows.
constexpr const char* kSpansKept = R"(
import sys, zipfile
old, new = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
zo, zn = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2])
starts = sorted(i.header_offset for i in zo.infolist()) + [zo.start_dir]
ok = True
for i in zo.infolist():
    k = starts.index(i.header_offset)
    span = old[starts[k]:starts[k + 1]]
    at = zn.getinfo(i.filename).header_offset
    ok = ok and new[at:at + len(span)] == span and new[at + len(span):at + len(span) + 2] == b'PK'
print(ok, zn.testzip())
)";

// Spoils one byte in the middle of an entry's stored data.
constexpr const char* kDamage = R"(
import struct, sys, zipfile
i = zipfile.ZipFile(sys.argv[1]).getinfo(sys.argv[2])
with open(sys.argv[1], 'r+b') as f:
    f.seek(i.header_offset + 26)
    n, m = struct.unpack('<HH', f.read(4))
    at = i.header_offset + 30 + n + m + i.compress_size // 2
    f.seek(at)
    b = f.read(1)[0]
    f.seek(at)
    f.write(bytes([b ^ 0x55]))
)";

class ArchiverCarry : public ArchiverFixture {
  protected:
    std::vector<std::string> Args(const std::string& add) {
        return {Archiver(), add, "-lev=6", "-path=full", archive, "@" + list};
    }
    RunResult Add(const std::string& add, std::vector<std::string> env = {}) {
        RunSetup setup;
        setup.env = std::move(env);
        return RunWith(Args(add), setup);
    }
    // Whether every entry reads back as the file it came from.
    std::string SameAsFiles(const std::vector<std::string>& files) {
        std::vector<std::string> args = {archive};
        args.insert(args.end(), files.begin(), files.end());
        return Python(
                   "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
                   "print(z.testzip(), all(z.read(n[1:]) == open(n, 'rb').read() "
                   "for n in sys.argv[2:]))",
                   args)
            .output;
    }
};

TEST_F(ArchiverCarry, DataDescriptorsAreAsWideAsTheLocalHeaderSays) {
    STOWAWAY_NEEDS(PeerTools);
    const std::string added = AddFile("added.txt", "added\n");
    WriteListFile(list, {added});
    for (const std::string kind : {"stream", "offset"}) {
        const std::string old = dir / ("out/" + kind + ".zip");
        ASSERT_EQ(Python(kForeign, {old, kind}).status, 0) << kind;
        fs::remove(toPath(archive));  // MinGW's copy_file does not overwrite
        fs::copy_file(toPath(old), toPath(archive));
        const RunResult r = Add("-add=update");
        EXPECT_EQ(r.status, 0) << kind << "\n" << r.output;
        EXPECT_EQ(Python(kSpansKept, {old, archive}).output, "True None\n") << kind;
        // A streaming reader walks the records one after the other.
        const RunResult walk = RunProgram({"/bin/sh", "-c", "bsdtar -tf - < \"$0\"", archive});
        EXPECT_EQ(walk.status, 0) << kind << "\n" << walk.output;
        EXPECT_EQ(CountLinesWith(walk.output, kind), 3) << kind << "\n" << walk.output;
        EXPECT_EQ(CountLinesWith(walk.output, "added.txt"), 1) << kind << "\n" << walk.output;
    }
}

// Bytes after a data descriptor that belong to no record: the entry's end is
// not where the next record begins, so the width cannot be trusted; the
// update stops and the old archive stays.
TEST_F(ArchiverCarry, ADescriptorThatDoesNotEndAtTheNextRecordStopsTheUpdate) {
    STOWAWAY_NEEDS(PeerTools);
    WriteListFile(list, {AddFile("added.txt", "added\n")});
    ASSERT_EQ(Python(kForeign, {archive, "gap"}).status, 0);
    const std::string before = ReadFile(archive);
    const RunResult r = Add("-add=update");
    EXPECT_EQ(r.status, 2) << r.output;
    const auto problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_NE(problems[0].find("does not end where the next record begins"), std::string::npos)
        << problems[0];
    EXPECT_EQ(ReadFile(archive), before);
}

// One spoilt byte in an entry whose file has not changed: the update stores
// it again from the file and says so, whether or not anything else is newer.
TEST_F(ArchiverCarry, ADamagedEntryIsStoredAgainFromItsFile) {
    STOWAWAY_NEEDS(PeerTools);
    const std::string a = AddFile("a.txt", Text(200000, 1));
    const std::string b = AddFile("b.txt", Text(150000, 2));
    const std::string c = AddFile("c.txt", Text(100000, 3));
    WriteListFile(list, {a, b, c});
    for (bool otherNewer : {false, true}) {
        SetMtime(a, 1600000000);
        SetMtime(b, 1600000000);
        SetMtime(c, 1600000000);
        ASSERT_EQ(Add("-add=all").status, 0);
        ASSERT_EQ(Python(kDamage, {archive, Stored(b)}).status, 0);
        ASSERT_NE(RunProgram({"/usr/bin/unzip", "-tq", archive}).status, 0);
        if (otherNewer) SetMtime(c, 1700000000);

        const RunResult r = Add("-add=update");
        EXPECT_EQ(r.status, 1) << r.output;
        const auto problems = ProblemLines(r.output);
        ASSERT_EQ(problems.size(), 1u) << r.output;
        EXPECT_NE(problems[0].find("warning: the copy of " + Stored(b)), std::string::npos)
            << problems[0];
        EXPECT_NE(problems[0].find("stored again"), std::string::npos) << problems[0];
        EXPECT_EQ(CountLinesWith(r.output, "done."), otherNewer ? 2 : 1) << r.output;
        EXPECT_EQ(SameAsFiles({a, b, c}), "None True\n");
        // Sound again: the next run has nothing to do.
        EXPECT_EQ(Add("-add=update").status, 0);
    }
}

// A damaged entry whose file is not listed cannot be mended: the run fails
// and the old archive stays as it was, never carried on as if it were sound.
TEST_F(ArchiverCarry, ADamagedEntryWithoutItsFileFailsTheRunAndKeepsTheArchive) {
    STOWAWAY_NEEDS(PeerTools);
    const std::string a = AddFile("a.txt", Text(200000, 1));
    const std::string b = AddFile("b.txt", Text(150000, 2));
    WriteListFile(list, {a, b});
    ASSERT_EQ(Add("-add=all").status, 0);
    ASSERT_EQ(Python(kDamage, {archive, Stored(b)}).status, 0);
    const std::string before = ReadFile(archive);
    WriteListFile(list, {a, AddFile("new.txt", "new\n")});
    for (const std::string add : {"-add=update", "-add=all"}) {
        const RunResult r = Add(add);
        EXPECT_EQ(r.status, 2) << add << "\n" << r.output;
        const auto problems = ProblemLines(r.output);
        ASSERT_EQ(problems.size(), 1u) << r.output;
        EXPECT_NE(problems[0].find("damaged entry " + Stored(b)), std::string::npos) << problems[0];
        EXPECT_NE(problems[0].find("left unchanged"), std::string::npos) << problems[0];
        EXPECT_EQ(ReadFile(archive), before) << add;
        EXPECT_EQ(
            std::distance(fs::directory_iterator(toPath(dir / "out")), fs::directory_iterator()),
            1);
    }
}

// A writer that counts junk after an entry's deflate stream in its compressed
// size, or a carried record whose CRC went wrong: the check refuses both and
// the old archive stays.
TEST_F(ArchiverCarry, TheCheckRefusesMisstatedLengthsAndCarriedRecords) {
    const std::string a = AddFile("a.txt", Text(200000, 1));
    const std::string b = AddFile("b.txt", Text(150000, 2));
    WriteListFile(list, {a, b});
    ASSERT_EQ(Add("-add=all").status, 0);
    const std::string before = ReadFile(archive);
    SetMtime(a, Mtime(a) + 10);
    for (const std::string fault : {"junk", "carried-crc"}) {
        const RunResult r = Add("-add=update", {"PKZIP_TEST_FAULT=" + fault});
        EXPECT_EQ(r.status, 2) << fault << "\n" << r.output;
        const auto problems = ProblemLines(r.output);
        ASSERT_EQ(problems.size(), 1u) << r.output;
        EXPECT_NE(problems[0].find("failed its check"), std::string::npos) << problems[0];
        EXPECT_EQ(ReadFile(archive), before) << fault;
    }
    // Without a fault the same update goes through.
    EXPECT_EQ(Add("-add=update").status, 0);
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(SameAsFiles({a, b}), "None True\n");
    }
}

}  // namespace
