#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/secrets/SecretText.h"

namespace stowaway {

class App;

// Exit statuses of --encrypt.
inline constexpr int EncryptDone = 0;
// No such Crate, the key file or the keyring refused, the settings not written;
// nothing was changed.
inline constexpr int EncryptFailed = 1;
inline constexpr int EncryptUsage = 2;  // the arguments are not understood

// Where --encrypt NAME --keyring reads the password: standard input's first line
// (tests hand in their own). Returns why it read none.
using PasswordInput = std::function<std::string(SecretText&)>;
std::string ReadPasswordFromStandardInput(SecretText& password);

// stowaway --encrypt NAME --key-file PATH | --keyring | off
int RunEncryptOption(App& app, const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& err, const PasswordInput& input = ReadPasswordFromStandardInput);

}  // namespace stowaway
