#pragma once

#include <string>

namespace stowaway {

class App;

// What shows the program's windows: the Qt layer, or nothing without a display.
class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    // False when there is no way to show a window.
    virtual bool hasDisplay() const = 0;
    // Builds the main window's view; it appears as soon as the start-up shows the
    // form, before the data file is read.
    virtual void prepareMainWindow(App& app) = 0;
    // Shows the main window, mirroring the model, and runs until it closes.
    virtual int runMainWindow(App& app) = 0;
    // Shows the automated backup's progress window (returns at once).
    virtual void showAbuWindow(App& app) = 0;
    // The interactive mode only: false when another interactive start of the same
    // program folder has its window open (it was asked to bring it to the front).
    virtual bool claimInteractive(App& app) {
        (void)app;
        return true;
    }
};

// The interactive start-up with the window's view: the window first, then the
// data file. The caller runs the window's event loop.
void StartInteractive(App& app, FrontEnd& frontEnd);

// The program: classifies the arguments and runs the mode they choose.
// Returns the process's exit status.
int RunProgram(App& app, const std::string& arguments, FrontEnd& frontEnd);

}  // namespace stowaway
