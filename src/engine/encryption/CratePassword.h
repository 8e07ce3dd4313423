#pragma once

#include <string>

#include "platform/secrets/SecretText.h"

namespace stowaway {

struct JobContext;

// The descriptor the archiver reads the password from, and the option that says
// so on the batch line; the line names no secret.
inline constexpr int PasswordDescriptor = 3;
std::string PasswordOption();

// Where a Crate's password was found, or why not.
struct PasswordSearch {
    bool encrypted = false;  // the settings say the Crate is encrypted
    bool found = false;
    // Why none was found, or why the settings could not be read: one sentence
    // for the run log and the message.
    std::string problem;
};

// An encrypted Crate's password: the desktop keyring (ctx.keyring), else the key
// file its settings name. A Crate that is not encrypted needs none. A settings
// file that cannot be read leaves it unknown whether the Crate is encrypted:
// that is a problem too, never a reason to write an archive in the clear.
PasswordSearch FindCratePassword(const JobContext& ctx, const std::string& crate,
                                 SecretText& password);

// The backup's part: finds the password of the Crate being backed up; in the
// window, when neither the keyring nor a key file has it, asks for it. Found:
// it waits in the job for the run and the prepared line names PasswordOption.
// Not found: the log, the job's errors and (in the window) a message say why,
// and false is returned, before anything is written.
bool PrepareBackupPassword(const JobContext& ctx, const std::string& crate);

// Restore and import: when the archive holds encrypted entries, the Crate's
// password (crate may be empty: none is known) or, failing that, the one the
// user types. False when it is needed and nobody gave it (the user was told).
bool PrepareReadPassword(const JobContext& ctx, const std::string& archive,
                         const std::string& crate);

// Chosen files from an encrypted archive: the Crate's password (crate may be
// empty) or, in the window, the one the user types; nobody is asked in an
// automated run. Empty when found, else the sentence that says why not.
std::string FindArchivePassword(const JobContext& ctx, const std::string& archive,
                                const std::string& crate, SecretText& password);

}  // namespace stowaway
