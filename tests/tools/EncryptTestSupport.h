// Running the archiver with a password handed over on a descriptor, as the
// program does, and finding an entry's bytes in an archive to spoil them.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ToolTestSupport.h"

namespace tooltest {

constexpr int kPasswordFd = 9;
inline const std::string kPasswordOption = "-password-fd=" + std::to_string(kPasswordFd);

// Runs argv with `password` and a newline readable on descriptor kPasswordFd;
// standard input is /dev/null.
inline RunResult RunWithPassword(const std::vector<std::string>& argv,
                                 const std::string& password) {
    return RunWith(argv, RunSetup{.password = password, .passwordFd = kPasswordFd});
}

inline uint32_t Le16(const std::string& s, size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}
inline uint32_t Le32(const std::string& s, size_t at) {
    return Le16(s, at) | (Le16(s, at + 2) << 16);
}

// Where the data of the entry `name` starts in a one-file archive, and its
// stored length (from its local header, which we write with sizes).
struct EntryBytes {
    size_t header = 0;  // where its local header starts
    size_t data = 0;
    size_t length = 0;
};
inline EntryBytes FindEntry(const std::string& zip, const std::string& name) {
    for (size_t at = 0; (at = zip.find(std::string("PK\x03\x04", 4), at)) != std::string::npos;
         ++at) {
        const size_t nameLen = Le16(zip, at + 26), extraLen = Le16(zip, at + 28);
        if (zip.compare(at + 30, nameLen, name) == 0 && nameLen == name.size())
            return {at, at + 30 + nameLen + extraLen, Le32(zip, at + 18)};
    }
    return {};
}

// Records a smaller compressed size for entry `name`, in its local and its
// central header alike: the entry looks cut short.
inline void SetCompressedSize(const std::string& path, const std::string& name, uint32_t size) {
    std::string zip = ReadFile(path);
    const auto put32 = [&](size_t at) {
        for (int i = 0; i < 4; ++i) zip[at + i] = static_cast<char>(size >> (8 * i));
    };
    const EntryBytes e = FindEntry(zip, name);
    put32(e.header + 18);
    for (size_t at = 0; (at = zip.find(std::string("PK\x01\x02", 4), at)) != std::string::npos;
         ++at) {
        if (Le16(zip, at + 28) == name.size() && zip.compare(at + 46, name.size(), name) == 0)
            put32(at + 20);
    }
    WriteFile(path, zip);
}

// Makes entry `name` an AE-1 entry (WinZip's first form, which keeps the
// CRC) with `crc` in its headers, as other tools write small files.
inline void MakeAe1(const std::string& path, const std::string& name, uint32_t crc) {
    std::string zip = ReadFile(path);
    const auto patch = [&](size_t record, size_t crcAt, size_t nameAt) {
        for (int i = 0; i < 4; ++i) zip[record + crcAt + i] = static_cast<char>(crc >> (8 * i));
        const size_t extra = record + nameAt + name.size();
        const size_t field = zip.find(std::string("\x01\x99\x07\x00", 4), extra);
        zip[field + 4] = 1;
    };
    patch(FindEntry(zip, name).header, 14, 30);
    for (size_t at = 0; (at = zip.find(std::string("PK\x01\x02", 4), at)) != std::string::npos;
         ++at) {
        if (Le16(zip, at + 28) == name.size() && zip.compare(at + 46, name.size(), name) == 0)
            patch(at, 16, 46);
    }
    WriteFile(path, zip);
}

inline void FlipByte(const std::string& path, size_t at) {
    std::string bytes = ReadFile(path);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
    WriteFile(path, bytes);
}

}  // namespace tooltest
