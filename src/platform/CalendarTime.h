#pragma once

#include <ctime>

namespace stowaway {

// Calendar parts of a time, thread-safe, on every system. False when the time
// cannot be broken down (out of the C library's range).
bool LocalParts(std::time_t when, std::tm& parts);
bool UtcParts(std::time_t when, std::tm& parts);
// The time of calendar parts read as UTC; the parts are normalised as mktime
// does (Feb 30 becomes Mar 2). -1 when they cannot be read.
std::time_t FromUtcParts(std::tm& parts);

}  // namespace stowaway
