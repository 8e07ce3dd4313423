#include "ui/qt/QtProgram.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstdlib>

#include "startup/App.h"
#include "startup/Program.h"

namespace stowaway {

namespace {

bool DisplayAvailable() {
    const char* platformName = std::getenv("QT_QPA_PLATFORM");
    if (platformName && *platformName) return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

class HeadlessFrontEnd : public FrontEnd {
public:
    bool hasDisplay() const override { return false; }
    int runMainWindow(App&) override { return 1; }
    void showAbuWindow(App&) override {}
};

class QtUi : public HeadlessUiServices {
public:
    MsgResult messageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                         MsgIcon icon) override {
        QMessageBox box;
        box.setWindowTitle(QString::fromStdString(title));
        box.setText(QString::fromStdString(text));
        switch (icon) {
            case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
            case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
            case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
            case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
            case MsgIcon::None: break;
        }
        if (buttons == MsgButtons::OKCancel) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            return box.exec() == QMessageBox::Ok ? MsgResult::OK : MsgResult::Cancel;
        }
        if (buttons == MsgButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
        }
        box.exec();
        return MsgResult::OK;
    }
    void processEvents() override { QApplication::processEvents(); }
};

class QtFrontEnd : public FrontEnd {
public:
    bool hasDisplay() const override { return true; }
    int runMainWindow(App& app) override {
        QWidget window;
        window.setWindowTitle(QString::fromStdString(app.FrmMain.caption()));
        window.show();
        return QApplication::exec();
    }
    void showAbuWindow(App&) override {}
};

}  // namespace

int RunStowaway(int argc, char** argv, Platform& platform, const std::string& arguments) {
    if (!DisplayAvailable()) {
        HeadlessUiServices ui;
        HeadlessFrontEnd frontEnd;
        App app(platform, ui);
        return RunProgram(app, arguments, frontEnd);
    }
    QApplication application(argc, argv);
    QtUi ui;
    QtFrontEnd frontEnd;
    App app(platform, ui);
    return RunProgram(app, arguments, frontEnd);
}

}  // namespace stowaway
