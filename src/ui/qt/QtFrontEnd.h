#pragma once

#include <QPointer>
#include <memory>

#include "startup/Program.h"
#include "ui/qt/BrowseWindow.h"
#include "ui/qt/EncryptionWindow.h"
#include "ui/qt/FormView.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/ScheduleWindow.h"
#include "ui/qt/SingleInstance.h"
#include "ui/qt/TerminationWatch.h"

namespace stowaway {

// Shows the program's windows with Qt.
class QtFrontEnd : public FrontEnd {
  public:
    explicit QtFrontEnd(ViewHub& hub) : hub_(hub) {}
    ~QtFrontEnd() override;

    bool hasDisplay() const override { return true; }
    void prepareMainWindow(App& app) override;
    int runMainWindow(App& app) override;
    void showAbuWindow(App& app) override;
    bool claimInteractive(App& app) override;

    // Where the single-instance lock and socket go (the user's runtime folder
    // unless set).
    void setInstanceFolder(const QString& folder) { instanceFolder_ = folder; }
    // SIGTERM, SIGHUP, SIGINT and the session's end close the window as its close
    // box does: the shown Crate is stored and the data file saved. One that comes
    // before the window is open with its data waits until it is.
    void watchSessionEnd(App& app);
    void closeForSessionEnd();
    // The window to the front, as a second start asks.
    void bringToFront();

    // Builds and shows the main window with its about box and argument dialog,
    // without running the event loop.
    MainWindow& openMainWindow(App& app);

    MainWindow* mainWindow() const { return main_.get(); }
    AboutBox* aboutBox() const { return about_; }
    ArgumentDialog* argumentDialog() const { return argument_; }
    ScheduleWindow* scheduleWindow() const { return schedule_; }
    BrowseWindow* browseWindow() const { return browse_; }
    EncryptionWindow* encryptionWindow() const { return encryption_; }
    AbuWindow* abuWindow() const { return abu_.get(); }

  private:
    ViewHub& hub_;
    std::unique_ptr<MainWindow> main_;
    QPointer<AboutBox> about_;
    QPointer<ArgumentDialog> argument_;
    QPointer<ScheduleWindow> schedule_;
    QPointer<BrowseWindow> browse_;
    QPointer<EncryptionWindow> encryption_;
    std::unique_ptr<AbuWindow> abu_;
    bool running_ = false;
    bool started_ = false;       // the window is open with the data file loaded
    bool endRequested_ = false;  // a signal came before that
    QString instanceFolder_;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<TerminationWatch> watch_;
};

}  // namespace stowaway
