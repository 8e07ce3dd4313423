#pragma once

// Archives of stored entries with chosen sizes, CRCs and dates, for the readers
// of central directories.
#include <cstdint>
#include <string>
#include <vector>

#include "ZipBytes.h"

namespace stowaway::test {

struct ZipItem {
    std::string name;
    std::string data;
    std::uint32_t crc = 0;
    std::uint16_t date = (46 << 9) | (12 << 5) | 6;  // 2026-12-06
    std::uint16_t time = (2 << 11);                  // 02:00:00
};

inline std::string ItemCentral(const ZipItem& item, std::uint64_t offset) {
    std::string out;
    Put(out, 0x02014b50, 4);
    Put(out, 20, 2);
    Put(out, 10, 2);
    Put(out, 0x0800, 2);
    Put(out, 0, 2);
    Put(out, item.time, 2);
    Put(out, item.date, 2);
    Put(out, item.crc, 4);
    Put(out, item.data.size(), 4);
    Put(out, item.data.size(), 4);
    Put(out, item.name.size(), 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 0, 4);
    Put(out, offset, 4);
    return out + item.name;
}

// The local part and the central directory of the items, in their order.
struct ZipParts {
    std::string local, central;
};
inline ZipParts Parts(const std::vector<ZipItem>& items) {
    ZipParts parts;
    for (const ZipItem& item : items) {
        parts.central += ItemCentral(item, parts.local.size());
        parts.local += LocalEntry(item.name, item.data);
    }
    return parts;
}

inline std::string ItemZip(const std::vector<ZipItem>& items) {
    const ZipParts parts = Parts(items);
    return parts.local + parts.central +
           EndRecord(0, 0, items.size(), parts.central.size(), parts.local.size());
}

}  // namespace stowaway::test
