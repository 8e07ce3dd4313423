#include "startup/EncryptOption.h"

#include <filesystem>

#include "platform/NativeText.h"
#include "platform/Text.h"
#include "platform/secrets/KeyFile.h"
#include "startup/App.h"
#include "startup/CrateLookup.h"
#include "store/settings/EncryptionSettings.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

namespace {

constexpr const char* ReadableNote =
    "Note: the names of the files and the Crate's description stay readable in the archive; "
    "the files' contents are encrypted.\n";

// A key file named relative to where the command ran is kept as a full path:
// scheduled runs start elsewhere.
std::string FullPath(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path full = std::filesystem::absolute(toPath(path), ignored);
    return full.empty() ? path : fromPath(full.lexically_normal());
}

bool Save(App& app, const std::string& crate, const CrateEncryption& encryption,
          std::ostream& err) {
    const std::string path = app.settingsPath();
    SettingsLoad load = LoadSettings(app.platform, path);
    if (load.unreadable) {
        err << "stowaway: the settings file " << path
            << " cannot be read; it was left as it is and nothing was changed\n";
        return false;
    }
    if (!load.problems.empty())
        err << "stowaway: " << SettingsProblemText(path, load.problems) << "\n";
    SetCrateEncryption(load.settings, crate, encryption);
    std::string error;
    if (!SaveSettings(app.platform, path, load.settings, error)) {
        err << "stowaway: the settings file " << path << " was not written: " << error << "\n";
        return false;
    }
    return true;
}

CrateEncryption Current(App& app, const std::string& crate) {
    return CrateEncryptionOf(LoadSettings(app.platform, app.settingsPath()).settings, crate);
}

}  // namespace

std::string ReadPasswordFromStandardInput(SecretText& password) {
    return ReadPasswordFromInput("Password: ", password);
}

int RunEncryptOption(App& app, const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& err, const PasswordInput& input) {
    const std::size_t count = arguments.size();
    const bool off = count == 3 && ToLower(arguments[2]) == "off";
    const bool keyFile = count == 4 && arguments[2] == "--key-file" && !arguments[3].empty();
    const bool keyring = count == 3 && arguments[2] == "--keyring";
    if (!off && !keyFile && !keyring) {
        err << "stowaway: --encrypt needs a Crate's name and where its password comes from:\n"
               "  stowaway --encrypt NAME --key-file PATH   (the first line of PATH, mode 0600)\n"
               "  stowaway --encrypt NAME --keyring         (read from standard input, kept in "
               "the desktop keyring)\n"
               "  stowaway --encrypt NAME off\n";
        return EncryptUsage;
    }
    const short slot = LoadAndFindCrate(app, arguments[1]);
    if (slot < 0) {
        err << "stowaway: there is no Crate named \"" << arguments[1] << "\" in "
            << app.DataFilePath << "\n";
        return EncryptFailed;
    }
    const std::string crate = app.store.CrateTable[static_cast<std::size_t>(slot)].Name;
    CrateEncryption encryption = Current(app, crate);
    if (off) {
        encryption.on = false;
        if (!Save(app, crate, encryption, err)) return EncryptFailed;
        out << crate << ": not encrypted; its next backup writes the archive in the clear.\n";
        return EncryptDone;
    }
    SecretText password;
    if (keyFile) {
        const std::string path = FullPath(arguments[3]);
        if (const std::string problem = ReadKeyFile(path, password); !problem.empty()) {
            err << "stowaway: " << problem << " Nothing was changed.\n";
            return EncryptFailed;
        }
        encryption.keyFile = path;
    } else {
        if (const std::string problem = input(password); !problem.empty()) {
            err << "stowaway: " << problem << " Nothing was changed.\n";
            return EncryptFailed;
        }
        std::string problem = "no desktop keyring is available";
        if (!app.keyring || !app.keyring->store(app.ProgramFolder, crate, password, problem)) {
            err << "stowaway: the password of " << crate << " was not stored: " << problem
                << ". Nothing was changed.\n";
            return EncryptFailed;
        }
    }
    encryption.on = true;
    if (!Save(app, crate, encryption, err)) return EncryptFailed;
    out << crate << ": encrypted with AES-256; each backup takes the password from "
        << (keyFile ? "the key file " + encryption.keyFile : std::string("the desktop keyring"))
        << (keyring && !encryption.keyFile.empty()
                ? " (else the key file " + encryption.keyFile + ")"
                : std::string())
        << ".\n"
        << ReadableNote;
    return EncryptDone;
}

}  // namespace stowaway
