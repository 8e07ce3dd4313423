#include "engine/encryption/CratePassword.h"

#include "engine/JobContext.h"
#include "engine/RunLog.h"
#include "engine/encryption/EncryptedArchive.h"
#include "platform/VisibleText.h"
#include "platform/secrets/KeyFile.h"
#include "store/settings/EncryptionSettings.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

std::string PasswordOption() {
    return "-password-fd=" + std::to_string(PasswordDescriptor);
}

PasswordSearch FindCratePassword(const JobContext& ctx, const std::string& crate,
                                 SecretText& password) {
    password.clear();
    PasswordSearch search;
    const std::string path = SettingsPath(ctx.style(), ctx.ProgramFolder);
    const SettingsLoad load = LoadSettings(ctx.platform, path);
    if (load.unreadable) {
        search.encrypted = true;
        search.problem = "The settings file " + VisibleText(path) +
                         " cannot be read, so it is not known whether the Crate " +
                         VisibleText(crate) + " is to be encrypted.";
        return search;
    }
    const CrateEncryption encryption = CrateEncryptionOf(load.settings, crate);
    if (!encryption.on) return search;
    search.encrypted = true;

    std::string keyringProblem = "no desktop keyring is available";
    if (ctx.keyring) {
        const KeyringStatus status =
            ctx.keyring->lookup(ctx.ProgramFolder, crate, password, keyringProblem);
        if (status == KeyringStatus::Found) {
            search.found = true;
            return search;
        }
    }
    std::string keyFileProblem = "no key file is set";
    if (!encryption.keyFile.empty()) {
        keyFileProblem = ReadKeyFile(ctx.platform.native(encryption.keyFile), password);
        if (keyFileProblem.empty()) {
            search.found = true;
            return search;
        }
        if (keyFileProblem.starts_with("The ")) keyFileProblem[0] = 't';
    }
    search.problem = "The Crate " + VisibleText(crate) +
                     " is encrypted, but no password was found: " + keyringProblem + "; " +
                     keyFileProblem + ".";
    // A key file's own sentence ends in a full stop already.
    if (search.problem.size() > 2 && search.problem.ends_with("..")) search.problem.pop_back();
    return search;
}

namespace {

// "Password for Documents" while typing; its title names the job.
bool AskFor(const JobContext& ctx, const std::string& prompt, const std::string& title,
            SecretText& password) {
    if (ctx.automated) return false;
    return ctx.ui.askPassword(prompt, title, password) && !password.empty();
}

void Refuse(const JobContext& ctx, JobKind kind, const std::string& text) {
    ctx.job.RunErrors.push_back(text);
    AppendToRunLog(ctx, {RunBanner(ctx, kind), LogErrorPrefix + text});
    ctx.ui.messageBox(text, "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

}  // namespace

bool PrepareBackupPassword(const JobContext& ctx, const std::string& crate) {
    JobState& job = ctx.job;
    job.Password.clear();
    PasswordSearch search = FindCratePassword(ctx, crate, job.Password);
    if (!search.encrypted) return true;
    if (!search.found && search.problem.find("settings file") == std::string::npos &&
        AskFor(ctx, "The Crate " + crate + " is encrypted. Its password:", "Backup Password",
               job.Password))
        search.found = true;
    if (!search.found) {
        job.Password.clear();
        Refuse(ctx, JobKind::Backup, search.problem + " Nothing was backed up.");
        return false;
    }
    job.ArchiverCommand += PasswordOption() + " ";
    return true;
}

bool PrepareReadPassword(const JobContext& ctx, const std::string& archive,
                         const std::string& crate) {
    JobState& job = ctx.job;
    job.Password.clear();
    if (ArchiveEncryptionOf(ctx.platform, archive) != ArchiveEncryption::Encrypted) return true;
    bool found = false;
    if (!crate.empty()) found = FindCratePassword(ctx, crate, job.Password).found;
    if (!found)
        found = AskFor(ctx, "The archive " + archive + " is encrypted. Its password:",
                       "Archive Password", job.Password);
    if (!found) {
        job.Password.clear();
        const std::string text = "The archive " + VisibleText(archive) +
                                 " is encrypted, and no password was given. Nothing was read.";
        job.RunErrors.push_back(text);
        ctx.ui.messageBox(text, "Error", MsgButtons::OK, MsgIcon::Exclamation);
        return false;
    }
    return true;
}

std::string FindArchivePassword(const JobContext& ctx, const std::string& archive,
                                const std::string& crate, SecretText& password) {
    password.clear();
    PasswordSearch search;
    if (!crate.empty()) search = FindCratePassword(ctx, crate, password);
    if (search.found) return {};
    if (AskFor(ctx, "The archive " + archive + " is encrypted. Its password:", "Archive Password",
               password))
        return {};
    password.clear();
    if (!ctx.automated)
        return "The archive " + VisibleText(archive) +
               " is encrypted, and no password was given. Nothing was restored from it.";
    // Headless: say where the password was looked for.
    if (!search.problem.empty()) return search.problem + " Nothing was restored.";
    return "The archive " + VisibleText(archive) + " is encrypted, but the Crate " +
           VisibleText(crate) +
           " has no password in the keyring or a key file. Nothing was restored.";
}

}  // namespace stowaway
