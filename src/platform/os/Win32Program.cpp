#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/NativeText.h"
#include "platform/os/Program.h"

namespace stowaway::os {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(fromWide(wide[i]));
    ::LocalFree(wide);
    return out;
}

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        // A path that does not fit is cut short and the length is the buffer's.
        if (length < buffer.size()) {
            buffer.resize(length);
            return fromWide(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace stowaway::os
