#pragma once

#include <QPointer>
#include <memory>

#include "startup/Program.h"
#include "ui/qt/FormView.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/MainWindow.h"

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

    // Builds and shows the main window with its about box and argument dialog,
    // without running the event loop.
    MainWindow& openMainWindow(App& app);

    MainWindow* mainWindow() const { return main_.get(); }
    AboutBox* aboutBox() const { return about_; }
    ArgumentDialog* argumentDialog() const { return argument_; }
    AbuWindow* abuWindow() const { return abu_.get(); }

  private:
    ViewHub& hub_;
    std::unique_ptr<MainWindow> main_;
    QPointer<AboutBox> about_;
    QPointer<ArgumentDialog> argument_;
    std::unique_ptr<AbuWindow> abu_;
    bool running_ = false;
};

}  // namespace stowaway
