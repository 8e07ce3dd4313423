#include "ui/qt/QtUiServices.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "ui/qt/FormView.h"

namespace stowaway {

QStringList QtNameFilters(const std::string& filter) {
    const QStringList parts = ToQ(filter).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty()) continue;
        patterns.replace(';', ' ');
        const QString suffix = " (" + patterns + ")";
        out << (description.endsWith("(" + patterns + ")") ? description : description + suffix);
    }
    return out;
}

QtUiServices::~QtUiServices() {
    for (const QPointer<ConsoleWindow>& console : consoles_) delete console.data();
    if (busy_) QApplication::restoreOverrideCursor();
}

bool QtUiServices::askPassword(const std::string& prompt, const std::string& title,
                               SecretText& password) {
    QInputDialog ask(hub_.owner());
    ask.setObjectName("PasswordDialog");
    ask.setWindowTitle(ToQ(title));
    ask.setLabelText(ToQ(prompt));
    ask.setInputMode(QInputDialog::TextInput);
    ask.setTextEchoMode(QLineEdit::Password);
    const bool wasBusy = busy_;
    if (wasBusy) setBusyPointer(false);
    const bool given = runModal(ask) == QDialog::Accepted;
    if (wasBusy) setBusyPointer(true);
    QString typed = ask.textValue();
    QByteArray bytes = typed.toUtf8();
    const bool taken = given && password.assign(std::string_view(
                                    bytes.constData(), static_cast<std::size_t>(bytes.size())));
    // Qt's copies go as soon as they are read.
    WipeMemory(bytes.data(), static_cast<std::size_t>(bytes.size()));
    typed.fill(QChar(0));
    ask.setTextValue(typed);
    return taken && !password.empty();
}

int QtUiServices::runModal(QDialog& dialog) {
    // What the models changed before asking shows under the dialog, not after it.
    hub_.refreshAll();
    dialog.setWindowModality(Qt::ApplicationModal);
    if (beforeModal) beforeModal(dialog);
    return dialog.exec();
}

MsgResult QtUiServices::messageBox(const std::string& text, const std::string& title,
                                   MsgButtons buttons, MsgIcon icon) {
    QString body = ToQ(text);
    body.replace("\r\n", "\n");
    QMessageBox box(hub_.owner());
    box.setObjectName("MessageBox");
    box.setWindowTitle(ToQ(title));
    box.setText(body);
    switch (icon) {
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::None:
            break;
    }
    switch (buttons) {
        case MsgButtons::OK:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OKCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
    }
    // The pointer is the arrow while the person answers, even during a job.
    const bool wasBusy = busy_;
    if (wasBusy) setBusyPointer(false);
    runModal(box);
    if (wasBusy) setBusyPointer(true);
    const auto pressed = box.standardButton(box.clickedButton());
    switch (buttons) {
        case MsgButtons::OK:
            return MsgResult::OK;
        case MsgButtons::OKCancel:
            return pressed == QMessageBox::Ok ? MsgResult::OK : MsgResult::Cancel;
        case MsgButtons::YesNo:
            return pressed == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
    return MsgResult::OK;
}

void QtUiServices::setBusyPointer(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUiServices::processEvents() {
    hub_.refreshAll();
    QApplication::processEvents();
}

QString NearestExistingFolder(const QString& current, bool folderItself) {
    if (current.isEmpty() || QDir::isRelativePath(current)) return {};
    QString path = QDir::cleanPath(current);
    if (!folderItself || !QFileInfo(path).isDir()) path = QFileInfo(path).path();
    while (!QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).path();
        if (parent == path) return {};
        path = parent;
    }
    return path;
}

std::string QtUiServices::browseForFile(const std::string& filter, const std::string& current,
                                        FileDialogKind kind) {
    QFileDialog dialog(hub_.owner());
    dialog.setObjectName("FileDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    // A name that does not exist yet is taken as typed (a new archive, a new log).
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(QtNameFilters(filter));
    const QString path = ToQ(current);
    const QString folder = NearestExistingFolder(path, false);
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
        // The current name is offered again when its folder is there.
        if (QFileInfo(path).path() == folder && !QFileInfo(path).isDir())
            dialog.selectFile(QFileInfo(path).fileName());
    }
    if (runModal(dialog) != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::string() : FromQ(QDir::toNativeSeparators(files.front()));
}

std::string QtUiServices::browseForFolder(const std::string& title, const std::string& current) {
    QFileDialog dialog(hub_.owner(), ToQ(title));
    dialog.setObjectName("FolderDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    const QString folder = NearestExistingFolder(ToQ(current), true);
    dialog.setDirectory(folder.isEmpty() ? QDir::homePath() : folder);
    if (runModal(dialog) != QDialog::Accepted) return {};
    const QStringList folders = dialog.selectedFiles();
    if (folders.isEmpty()) return {};
    return FromQ(QDir::toNativeSeparators(QDir::cleanPath(folders.front())));
}

void QtUiServices::consoleStarted(const std::string& title, const std::string& commandLine) {
    // A job run again reuses its window rather than piling up another.
    for (const QPointer<ConsoleWindow>& open : consoles_) {
        if (open && open->windowTitle() == ToQ(title)) {
            current_ = open;
            open->restart(commandLine);
            QApplication::processEvents();
            return;
        }
    }
    auto* console = new ConsoleWindow(title, commandLine);
    std::erase_if(consoles_, [](const QPointer<ConsoleWindow>& c) { return c.isNull(); });
    consoles_.emplace_back(console);
    current_ = console;
    console->show();
    QApplication::processEvents();
}

void QtUiServices::consoleOutput(const std::string& text) {
    // Output belongs to the current run's window; once it is closed, nowhere.
    if (current_) current_->append(text);
}

void QtUiServices::consoleInput(std::function<bool(const std::string&)> send) {
    if (current_) current_->setInput(std::move(send));
}

std::vector<ConsoleWindow*> QtUiServices::consoles() const {
    std::vector<ConsoleWindow*> open;
    for (const QPointer<ConsoleWindow>& console : consoles_)
        if (console) open.push_back(console.data());
    return open;
}

}  // namespace stowaway
