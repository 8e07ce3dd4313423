// Reading a WinZip AES entry: the password checked against its verifier, the
// encrypted data authenticated with its HMAC, then decrypted and
// decompressed. An entry that fits in memory is authenticated before the
// sink sees a byte; a larger one streams, and the result tells whether all
// it got was authentic.
#pragma once

#include <string>

#include "ArchiveReader.h"
#include "Password.h"

namespace pkzip::crypto {

// `password` may be null: the entry is then not read ("needs a password").
class KeyCache;

// `keys` may hold the entry's keys already.
ReadStatus ExtractAes(const ArchiveReader& reader, const ArchiveEntry& e, const Password* password,
                      const KeyCache* keys, bool exactLength, const DataSink& sink,
                      std::string& error);

}  // namespace pkzip::crypto
