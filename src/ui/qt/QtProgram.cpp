#include "ui/qt/QtProgram.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "platform/Display.h"
#include "platform/Text.h"
#include "startup/App.h"
#include "startup/LongOptions.h"
#include "startup/Program.h"
#include "ui/qt/Icons.h"
#include "ui/qt/QtFrontEnd.h"
#include "ui/qt/QtUiServices.h"

namespace stowaway {

namespace {

class HeadlessFrontEnd : public FrontEnd {
  public:
    bool hasDisplay() const override { return false; }
    void prepareMainWindow(App&) override {}
    int runMainWindow(App&) override { return 1; }
    void showAbuWindow(App&) override {}
};

}  // namespace

int RunStowaway(int argc, char** argv, Platform& platform, const std::string& arguments) {
    // The long options work without a display and see the arguments as given.
    const std::vector<std::string> given(argv + 1, argv + argc);
    if (IsLongOption(given)) {
        HeadlessUiServices ui;
        App app(platform, ui);
        return *RunLongOption(app, given, std::cout, std::cerr);
    }
    // "--help", "--version" and "--status" only print: no display is needed.
    const std::string line = Trim(arguments);
    if (!DisplayAvailable() || line == "--help" || line == "--version" || line == "--status") {
        HeadlessUiServices ui;
        HeadlessFrontEnd frontEnd;
        App app(platform, ui);
        return RunProgram(app, arguments, frontEnd);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Stowaway");
    QApplication::setDesktopFileName("stowaway");
    QApplication::setWindowIcon(ProgramIcon());
    // Declared so that the windows go first, then the models they mirror.
    ViewHub hub;
    QtUiServices ui(hub);
    App app(platform, ui);
    QtFrontEnd frontEnd(hub);
    return RunProgram(app, arguments, frontEnd);
}

}  // namespace stowaway
