// libFuzzer target over the archiver's decrypting read side: the input as an
// archive read with the password "fuzz" (seeds are AES archives made with
// it, by PKZIP25.EXE and 7-Zip), so the 0x9901 field, the salt, verifier,
// sizes and authentication code of each entry are all reached; each entry is
// extracted, what an update would carry is tested, and the archive is
// restored. Built and run by bench/fuzz_reader.sh decrypt.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveReader.h"
#include "CarryCheck.h"
#include "Extract.h"
#include "Options.h"
#include "crypto/Password.h"

namespace {

std::string Scratch() {
    static const std::string dir = [] {
        char templ[] = "/tmp/pkzip-decrypt-fuzz-XXXXXX";
        return std::string(::mkdtemp(templ));
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;
    static pkzip::crypto::Password password;
    static bool set = [] {
        std::string error;
        return password.Set("fuzz", error);
    }();
    (void)set;
    const std::string archive = Scratch() + "/input.zip";
    const std::string target = Scratch() + "/out";
    {
        const int fd = ::open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return 0;
        if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
            ::close(fd);
            return 0;
        }
        ::close(fd);
    }
    pkzip::ArchiveReader zr;
    zr.UsePassword(&password);
    std::string error;
    const bool strict = size % 2 == 1;
    if (strict) zr.RequireExactLength();
    if (!zr.Open(archive, error)) return 0;
    uint64_t total = 0;
    std::vector<size_t> all;
    for (size_t i = 0; i < zr.Count(); ++i) {
        all.push_back(i);
        zr.Extract(
            zr.Entry(i),
            [&](const unsigned char* p, size_t n) {
                total += n + (n ? p[n - 1] : 0);
                return true;
            },
            error);
    }
    if (strict) total += pkzip::TestCarriedEntries(zr, all, 2).size();
    pkzip::Options o;
    o.archive = archive;
    o.mode = pkzip::Mode::Restore;
    o.target = target;
    o.password = &password;
    pkzip::RunRestore(o);
    std::error_code ec;
    std::filesystem::remove_all(target, ec);
    return total == 1 ? 1 : 0;
}
