#pragma once

#include <string>

#include "platform/secrets/SecretText.h"

namespace stowaway {

// Reads the password from the first line of a key file (a CR before the line
// break is not part of it). The file must be a regular file of the user's own
// that no one else may read or write (mode 0600 or 0400). Returns an empty text
// and fills password, or says in plain words why the file was refused.
std::string ReadKeyFile(const std::string& path, SecretText& password);

// The first line of what a descriptor gives (a key file, standard input), read up
// to the line break and no further; `named` starts the sentence that says why
// nothing was taken ("Standard input", "The key file ...").
std::string ReadPasswordLine(int fd, const std::string& named, SecretText& password);

// Standard input's first line; on a terminal it asks with `prompt` on standard
// error and does not echo the typing.
std::string ReadPasswordFromInput(const std::string& prompt, SecretText& password);

}  // namespace stowaway
