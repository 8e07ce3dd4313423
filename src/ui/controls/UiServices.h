#pragma once

#include <string>

#include "engine/JobContext.h"

namespace stowaway {

// What needs a person or the window system: the message boxes of the store and
// the jobs' services, and more. The Qt layer implements it for real, tests
// script it, and without a display it prints and takes the default answer.
class UiServices : public JobServices {
  public:
    // The hourglass over the window while a job runs.
    virtual void setBusyPointer(bool busy) = 0;

    // The open-file dialog: filter written "Description|pattern|"; "" when cancelled.
    virtual std::string browseForFile(const std::string& filter) = 0;
    // The folder browser with a title; "" when cancelled.
    virtual std::string browseForFolder(const std::string& title) = 0;
};

// Without a display: messages go to standard error, the first button is taken,
// the console output is echoed to standard error.
class HeadlessUiServices : public UiServices {
  public:
    MsgResult messageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                         MsgIcon icon) override;
    void setBusyPointer(bool) override {}
    void processEvents() override {}
    std::string browseForFile(const std::string&) override { return {}; }
    std::string browseForFolder(const std::string&) override { return {}; }
    void consoleStarted(const std::string& commandLine) override;
    void consoleOutput(const std::string& text) override;
};

}  // namespace stowaway
