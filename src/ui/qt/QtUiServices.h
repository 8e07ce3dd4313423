#pragma once

#include <QPointer>
#include <functional>
#include <vector>

#include "ui/controls/UiServices.h"
#include "ui/qt/ConsoleWindow.h"

class QDialog;

namespace stowaway {

class ViewHub;

// The person's side for real: Qt message boxes, file dialogs, the busy pointer,
// the console windows; processing events also brings the windows up to date.
class QtUiServices : public UiServices {
  public:
    explicit QtUiServices(ViewHub& hub) : hub_(hub) {}
    ~QtUiServices() override;
    QtUiServices(const QtUiServices&) = delete;
    QtUiServices& operator=(const QtUiServices&) = delete;

    MsgResult messageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                         MsgIcon icon) override;
    void setBusyPointer(bool busy) override;
    void processEvents() override;
    std::string browseForFile(const std::string& filter, const std::string& current,
                              FileDialogKind kind) override;
    std::string browseForFolder(const std::string& title, const std::string& current) override;
    void consoleStarted(const std::string& title, const std::string& commandLine) override;
    void consoleOutput(const std::string& text) override;
    void consoleInput(std::function<bool(const std::string&)> send) override;
    bool askPassword(const std::string& prompt, const std::string& title,
                     SecretText& password) override;

    // Runs when a modal dialog (message box, file dialog, folder browser) is set
    // up and about to be shown; tests answer it from here.
    std::function<void(QDialog&)> beforeModal;

    // The console windows still open, in the order they were first opened.
    std::vector<ConsoleWindow*> consoles() const;
    bool busy() const { return busy_; }

  private:
    int runModal(QDialog& dialog);

    ViewHub& hub_;
    bool busy_ = false;
    std::vector<QPointer<ConsoleWindow>> consoles_;
    // The window of the run going on or last run: where its output goes.
    QPointer<ConsoleWindow> current_;
};

// The folder a dialog opens at for a current value: the value itself when it is
// a folder and `folderItself`, else the nearest existing folder above it; "" when
// there is none (an empty or relative value).
QString NearestExistingFolder(const QString& current, bool folderItself);

// "Zip Files (*.zip)|*.zip|" as Qt's name filters.
QStringList QtNameFilters(const std::string& filter);

}  // namespace stowaway
