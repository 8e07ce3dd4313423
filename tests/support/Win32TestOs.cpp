#include <windows.h>

#include <random>
#include <stdexcept>

#include "platform/NativeText.h"
#include "support/SecretPipe.h"
#include "support/TestPlatforms.h"

namespace stowaway::test {

TempDir::TempDir() {
    wchar_t base[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetTempPathW failed");
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring folder = base;
        folder += L"stowaway-test-" + std::to_wstring(random() % 1000000000u);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) {
            path_ = fromWide(folder);
            if (!path_.empty() && path_.back() == '\\') path_.pop_back();
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("no temporary folder could be made");
}

// No user to drop to here: the check runs as the user the tests run as. The tests
// that need an ordinary user's refusals are skipped on Windows (SystemSupport.h).
bool RunAsOrdinaryUser(const std::function<bool()>& check) {
    return check();
}

// No /bin/sh here; the tests that run shell commands are skipped on Windows.
ShellRun RunShell(const std::string&) {
    return {};
}

SecretPipe::SecretPipe(const std::string& text, bool inheritable) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, inheritable ? TRUE : FALSE};
    HANDLE read = nullptr, write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 65536)) return;
    DWORD written = 0;
    const bool whole =
        text.size() <= 65536 &&
        (text.empty() ||
         (::WriteFile(write, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
          written == text.size()));
    ::CloseHandle(write);
    if (whole)
        read_ = read;
    else
        ::CloseHandle(read);
}

void SecretPipe::Close(os::NativeHandle handle) {
    if (handle != os::NoHandle) ::CloseHandle(handle);
}

}  // namespace stowaway::test
