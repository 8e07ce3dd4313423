#include "FileSteps.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Os.h"

namespace pkzip::commit {
namespace {

struct Fault {
    bool loaded = false;
    bool kill = false;
    bool term = false;
    long at = 0;  // 0: none
    long steps = 0;
};

Fault& TheFault() {
    static Fault f;
    return f;
}

void Parse(const char* setting, Fault& f) {
    f.kill = false;
    f.term = false;
    f.at = 0;
    f.steps = 0;
    if (setting == nullptr) return;
    const char* at = std::strchr(setting, '@');
    if (at == nullptr) return;
    const std::string kind(setting, at);
    if (kind != "kill" && kind != "eio" && kind != "term") return;
    f.kill = kind == "kill";
    f.term = kind == "term";
    f.at = std::strtol(at + 1, nullptr, 10);
}

// True when this step is to fail (with EIO); never returns when it is to
// kill; "term" asks the process to end and lets the step go on.
bool Injected() {
    Fault& f = TheFault();
    if (!f.loaded) {
        f.loaded = true;
        Parse(std::getenv("PKZIP_TEST_COMMIT_FAULT"), f);
    }
    if (f.at <= 0 || ++f.steps != f.at) return false;
    if (f.kill) os::KillSelf();
    if (f.term) {
        os::InterruptSelf();  // held until the commit is through
        return false;
    }
    errno = EIO;
    return true;
}

}  // namespace

void SetFaultForTest(const std::string& setting) {
    Fault& f = TheFault();
    f.loaded = true;
    Parse(setting.empty() ? nullptr : setting.c_str(), f);
}

bool StepRename(const std::string& from, const std::string& to) {
    if (Injected()) return false;
    return os::Rename(from, to);
}

bool StepLink(const std::string& from, const std::string& to) {
    if (Injected()) return false;
    return os::HardLink(from, to);
}

void StepCheckpoint() {
    Injected();
}

void SyncFolder(const std::string& folder) {
    os::SyncFolder(folder);
}

}  // namespace pkzip::commit
