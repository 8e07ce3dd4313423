#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTableWidget>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/PosixPlatform.h"
#include "startup/App.h"
#include "support/TestPlatforms.h"
#include "ui/qt/QtFrontEnd.h"
#include "ui/qt/QtUiServices.h"

namespace stowaway::test {

// The one QApplication of the test binary, made on first use (offscreen unless
// the environment chose a platform).
QApplication& TestApplication();

// The real program with its real Qt windows in a fresh program folder: the
// modal dialogs are answered from queues, as a person would answer them.
class QtProgram {
  public:
    struct Shown {
        std::string title{}, text{};
        // The main window's status bar as it showed while the dialog was up.
        std::string status{};
        bool overWindow = false;  // the main window was on the screen
    };
    // What the next modal dialog gets: a message box's button, or a file dialog's
    // path (empty: cancel).
    struct Answer {
        int button = 0;  // QMessageBox::StandardButton; 0: the default
        std::string path;
        bool isPath = false;
    };

    QtProgram();
    ~QtProgram();

    // The interactive start-up and the shown main window, without the event loop.
    MainWindow& start();

    // A widget of the main window (or of the about box and argument dialog) by name.
    template <typename T = QWidget>
    T* widget(const std::string& name) const {
        for (QWidget* top : tops())
            if (T* found = WidgetIn<T>(top, name)) return found;
        return nullptr;
    }
    // A widget of one window by name, not of the windows it owns.
    template <typename T = QWidget>
    static T* WidgetIn(QWidget* window, const std::string& name) {
        if (!window) return nullptr;
        for (T* found : window->findChildren<T*>(QString::fromStdString(name)))
            if (found->window() == window) return found;
        return nullptr;
    }
    QAction* action(const std::string& name) const;
    // Shows the tab page that holds the widget, then clicks it as a person does.
    void click(const std::string& name);
    void type(const std::string& name, const std::string& text);
    void showTab(int tab);

    void answerButton(int standardButton) { answers.push_back({standardButton, {}, false}); }
    void answerPath(const std::string& path) { answers.push_back({0, path, true}); }

    std::string file(const std::string& name) const { return dir.path() + "/" + name; }

    TempDir dir;  // the program folder
    PosixPlatform platform;
    ViewHub hub;
    QtUiServices ui;
    App app;
    QtFrontEnd frontEnd;
    std::deque<Answer> answers;
    std::vector<Shown> shown;

  private:
    std::vector<QWidget*> tops() const;
};

// Where the windows' screenshots go: qt-screenshots at 1x, qt-screenshots-2x at
// twice the scale.
std::string ShotFolder();
// The window's screenshot as NAME.png there, once the pending events have run.
void SaveShot(QWidget* window, const std::string& name);

// The real program with one window of the Tools menu, opened by its menu item.
struct ToolScreen {
    // `window` is the front end's accessor of the window the item opens.
    template <class Window>
    void open(const std::string& menuItem, Window* (QtFrontEnd::*window)() const) {
        QAction* item = p.action(menuItem);
        ASSERT_TRUE(item) << menuItem;
        item->trigger();
        QApplication::processEvents();
        dialog = (p.frontEnd.*window)();
        ASSERT_TRUE(dialog && dialog->isVisible()) << menuItem;
    }
    template <typename T = QWidget>
    T* in(const std::string& name) const {
        return QtProgram::WidgetIn<T>(dialog, name);
    }
    void save(const std::string& name) const { SaveShot(dialog, name); }
    // A click on the row's first cell, as a person chooses a row.
    static void clickRow(QTableWidget* table, int row);

    QtProgram p;
    QWidget* dialog = nullptr;
};

}  // namespace stowaway::test
