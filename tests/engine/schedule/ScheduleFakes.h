#pragma once

#include <string>
#include <vector>

#include "platform/scheduler/Crontab.h"
#include "platform/scheduler/UserManager.h"

namespace stowaway::test {

// Records what would be asked of the user's systemd manager; fails on request.
class RecordingActivation : public UnitActivation {
  public:
    bool available() override { return answers; }
    bool enableTimers(const std::vector<std::string>& timers, std::string& error) override {
        calls.push_back("enable " + Join(timers));
        if (failEnable) error = "\"systemctl --user enable --now\" failed with exit status 1";
        return !failEnable;
    }
    bool disableTimers(const std::vector<std::string>& timers, std::string& error) override {
        calls.push_back("disable " + Join(timers));
        if (failDisable) error = "\"systemctl --user disable --now\" failed with exit status 1";
        return !failDisable;
    }
    bool reload(std::string& error) override {
        (void)error;
        calls.push_back("daemon-reload");
        return true;
    }

    bool answers = false;
    bool failEnable = false;
    bool failDisable = false;
    std::vector<std::string> calls;

  private:
    static std::string Join(const std::vector<std::string>& words) {
        std::string out;
        for (const std::string& word : words) out += (out.empty() ? "" : " ") + word;
        return out;
    }
};

// A crontab in memory; a failing crontab command on request.
class MemoryCrontab : public CrontabAccess {
  public:
    bool read(std::string& text, std::string& error) override {
        if (failRead) error = "\"crontab -l\" failed with exit status 1";
        text = table;
        return !failRead;
    }
    bool write(const std::string& text, std::string& error) override {
        if (failWrite) {
            error = "\"crontab -\" failed with exit status 1: bad minute";
            return false;
        }
        table = text;
        ++writes;
        return true;
    }

    std::string table;
    bool failRead = false;
    bool failWrite = false;
    int writes = 0;
};

}  // namespace stowaway::test
