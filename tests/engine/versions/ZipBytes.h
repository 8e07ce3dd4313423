#pragma once

// Small ZIP archives written byte by byte, for the readers of end records.
#include <cstdint>
#include <string>
#include <vector>

namespace stowaway::test {

inline void Put(std::string& out, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// One stored entry's local header and data.
inline std::string LocalEntry(const std::string& name, const std::string& data) {
    std::string out;
    Put(out, 0x04034b50, 4);
    Put(out, 10, 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 4);
    Put(out, 0, 4);  // the CRC does not matter to the end records
    Put(out, data.size(), 4);
    Put(out, data.size(), 4);
    Put(out, name.size(), 2);
    Put(out, 0, 2);
    return out + name + data;
}

inline std::string CentralEntry(const std::string& name, std::uint64_t size, std::uint64_t offset) {
    std::string out;
    Put(out, 0x02014b50, 4);
    Put(out, 20, 2);
    Put(out, 10, 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 4);
    Put(out, 0, 4);
    Put(out, size, 4);
    Put(out, size, 4);
    Put(out, name.size(), 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 4);
    Put(out, offset, 4);
    return out + name;
}

inline std::string EndRecord(std::uint32_t disk, std::uint32_t directoryDisk, std::uint64_t entries,
                             std::uint64_t size, std::uint64_t offset,
                             const std::string& comment = "") {
    std::string out;
    Put(out, 0x06054b50, 4);
    Put(out, disk, 2);
    Put(out, directoryDisk, 2);
    Put(out, entries, 2);
    Put(out, entries, 2);
    Put(out, size, 4);
    Put(out, offset, 4);
    Put(out, comment.size(), 2);
    return out + comment;
}

// A whole archive of stored files named "1", "2", ...
inline std::string TinyZip(int files, const std::string& comment = "header") {
    std::string local, central;
    for (int i = 1; i <= files; ++i) {
        const std::string name = std::to_string(i);
        const std::string data = "file " + name;
        central += CentralEntry(name, data.size(), local.size());
        local += LocalEntry(name, data);
    }
    return local + central + EndRecord(0, 0, files, central.size(), local.size(), comment);
}

// A set of two volumes: the data in the first, the directory and end in the last.
inline std::vector<std::string> TinySet(int files) {
    std::string local, central;
    for (int i = 1; i <= files; ++i) {
        const std::string name = std::to_string(i);
        const std::string data = "file " + name;
        central += CentralEntry(name, data.size(), local.size());
        local += LocalEntry(name, data);
    }
    return {local, central + EndRecord(1, 1, files, central.size(), 0)};
}

}  // namespace stowaway::test
