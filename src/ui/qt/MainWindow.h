#pragma once

#include <QMainWindow>
#include <functional>

#include "ui/qt/FormView.h"

class QFileSystemModel;
class QTabBar;
class QTreeView;

namespace stowaway {

class App;

// The main window: mirrors FrmMain and forwards the user's input to it.
class MainWindow : public QMainWindow, public FormView {
  public:
    MainWindow(App& app, ViewHub& hub);

    // Runs once the window has closed, by the close box or by the program.
    std::function<void()> onClosed;
    // The program ends the window ("E&xit" has stored and saved already).
    void closeFromProgram();
    // The window has closed (its Crate stored and the data file saved).
    bool isClosed() const { return closed_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildCrateStrip();
    void buildTabs();
    void buildCrateDataPage();
    void buildBottom();
    void buildMenus();
    void showFolder();

    App& app_;
    QWidget* client_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QWidget* pages_[3] = {};
    QTreeView* tree_ = nullptr;
    QFileSystemModel* folders_ = nullptr;
    bool shown_ = false;
    bool closingFromModel_ = false;
    bool closed_ = false;
};

}  // namespace stowaway
