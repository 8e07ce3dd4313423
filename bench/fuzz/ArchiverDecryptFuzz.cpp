// libFuzzer target over the archiver's decrypting read side: the input as an
// archive read with the password "fuzz" (seeds are AES archives made with
// it, by PKZIP25.EXE and 7-Zip), so the 0x9901 field, the salt, verifier,
// sizes and authentication code of each entry are all reached; each entry is
// extracted, what an update would carry is tested, and the archive is
// restored. Built and run by bench/fuzz_reader.sh decrypt.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveInput.h"
#include "ArchiveReader.h"
#include "CarryCheck.h"
#include "Extract.h"
#include "Options.h"
#include "crypto/Password.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static pkzip::crypto::Password password;
    static bool set = [] {
        std::string error;
        return password.Set("fuzz", error);
    }();
    (void)set;
    const std::string scratch = pkzip::fuzz::InputAsArchive(data, size);
    if (scratch.empty()) return 0;
    const std::string archive = scratch + "/input.zip";
    const std::string target = scratch + "/out";
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
