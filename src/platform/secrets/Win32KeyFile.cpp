#include <windows.h>

#include "platform/secrets/KeyFile.h"

namespace stowaway {

// Who else may read a file is its access list on Windows, which is not checked
// yet: a key file is refused rather than trusted unchecked.
std::string ReadKeyFile(const std::string& path, SecretText& password) {
    password.clear();
    if (path.empty()) return "No key file is set.";
    return "The key file " + path +
           " is not read: key files are not available on this system yet (who may read "
           "them cannot be checked here).";
}

std::string ReadPasswordFromInput(const std::string& prompt, SecretText& password) {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD before = 0;
    const bool console = input != INVALID_HANDLE_VALUE && ::GetConsoleMode(input, &before);
    if (console) {
        ::SetConsoleMode(input, before & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
        DWORD shown = 0;
        ::WriteFile(error, prompt.data(), static_cast<DWORD>(prompt.size()), &shown, nullptr);
    }
    std::string problem = ReadPasswordLine(0, "Standard input", password);
    if (console) {
        ::SetConsoleMode(input, before);
        DWORD shown = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), "\n", 1, &shown, nullptr);
    }
    return problem;
}

}  // namespace stowaway
