#include "QtHarness.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <cstdlib>
#include <stdexcept>

#include "startup/Program.h"
#include "ui/qt/StatusPanel.h"

namespace stowaway::test {

QApplication& TestApplication() {
    static QApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "stowaway_qt_tests";
        static char* argv[] = {name, nullptr};
        auto* made = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return made;
    }();
    return *application;
}

namespace {

// Answers a dialog once its own event loop runs.
void AnswerLater(QDialog& dialog, QtProgram::Answer answer) {
    QPointer<QDialog> target(&dialog);
    QMetaObject::invokeMethod(
        &dialog,
        [target, answer] {
            if (!target) return;
            if (auto* box = qobject_cast<QMessageBox*>(target.data())) {
                QAbstractButton* button = box->defaultButton();
                if (answer.button)
                    button = box->button(static_cast<QMessageBox::StandardButton>(answer.button));
                if (!button) button = box->buttons().value(0);
                button->click();
            } else if (auto* files = qobject_cast<QFileDialog*>(target.data())) {
                if (answer.path.empty()) {
                    files->reject();
                } else {
                    files->selectFile(QString::fromStdString(answer.path));
                    // The dialog's own accept, which checks the name as a click on Open does.
                    QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
                }
            } else {
                target->reject();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace

QtProgram::QtProgram()
    : platform((TestApplication(), dir.path())), ui(hub), app(platform, ui), frontEnd(hub) {
    app.WindowsDir = platform.windowsDir();
    app.DataFilePath = platform.style().join(app.ProgramFolder, "Stowaway.dat");
    ui.beforeModal = [this](QDialog& dialog) {
        Shown seen{dialog.windowTitle().toStdString(), {}};
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) seen.text = box->text().toStdString();
        if (auto* panel = widget<QLabel>("StBMainPanel"))
            seen.status = panel->property(StatusTextProperty).toString().toStdString();
        seen.overWindow = frontEnd.mainWindow() && frontEnd.mainWindow()->isVisible();
        shown.push_back(seen);
        Answer next;
        if (!answers.empty()) {
            next = answers.front();
            answers.pop_front();
        }
        AnswerLater(dialog, next);
    };
}

QtProgram::~QtProgram() {
    for (ConsoleWindow* console : ui.consoles()) console->close();
    QApplication::processEvents();
}

MainWindow& QtProgram::start() {
    StartInteractive(app, frontEnd);
    MainWindow& window = frontEnd.openMainWindow(app);
    window.activateWindow();
    QApplication::processEvents();
    return window;
}

std::vector<QWidget*> QtProgram::tops() const {
    std::vector<QWidget*> out;
    if (frontEnd.mainWindow()) out.push_back(frontEnd.mainWindow());
    if (frontEnd.abuWindow()) out.push_back(frontEnd.abuWindow());
    return out;
}

QAction* QtProgram::action(const std::string& name) const {
    if (!frontEnd.mainWindow()) return nullptr;
    return frontEnd.mainWindow()->findChild<QAction*>(QString::fromStdString(name));
}

void QtProgram::showTab(int tab) {
    auto* bar = widget<QTabBar>("SSTMainTabs");
    if (!bar || bar->currentIndex() == tab) return;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
}

namespace {

int TabOf(QWidget* w) {
    for (; w; w = w->parentWidget()) {
        const QString name = w->objectName();
        if (name.size() == 4 && name.startsWith("Tab")) return name.back().digitValue();
    }
    return -1;
}

}  // namespace

void QtProgram::click(const std::string& name) {
    QWidget* w = widget(name);
    if (!w) throw std::runtime_error("no widget " + name);
    if (int tab = TabOf(w); tab >= 0) showTab(tab);
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        // On the indicator, which every check box has, captioned or not.
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        return;
    }
    QTest::mouseClick(w, Qt::LeftButton);
}

void QtProgram::type(const std::string& name, const std::string& text) {
    auto* edit = widget<QLineEdit>(name);
    if (!edit) throw std::runtime_error("no text box " + name);
    if (int tab = TabOf(edit); tab >= 0) showTab(tab);
    // Typed over the selected old text, as a person replaces a box's contents.
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(text));
}

std::string ShotFolder() {
    const qreal scale = qApp->devicePixelRatio();
    const std::string folder =
        std::string(STOWAWAY_PROGRAM_DIR) + "/../qt-screenshots" +
        (scale > 1.01 ? "-" + QString::number(scale).toStdString() + "x" : std::string());
    QDir().mkpath(QString::fromStdString(folder));
    return folder;
}

void SaveShot(QWidget* window, const std::string& name) {
    QApplication::processEvents();
    const QString path = QString::fromStdString(ShotFolder() + "/" + name + ".png");
    EXPECT_TRUE(window->grab().save(path)) << path.toStdString();
}

void ToolScreen::clickRow(QTableWidget* table, int row) {
    const QRect cell = table->visualItemRect(table->item(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QApplication::processEvents();
}

}  // namespace stowaway::test
