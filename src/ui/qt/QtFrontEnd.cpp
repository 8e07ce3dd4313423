#include "ui/qt/QtFrontEnd.h"

#include <QApplication>

#include "startup/App.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/MainWindow.h"

namespace stowaway {

namespace {

// Widgets torn down must not report selection changes to models.
void Silence(QObject* root) {
    if (!root) return;
    root->blockSignals(true);
    for (QObject* child : root->findChildren<QObject*>()) child->blockSignals(true);
}

}  // namespace

QtFrontEnd::~QtFrontEnd() {
    Silence(abu_.get());
    abu_.reset();
    Silence(main_.get());
    if (main_) hub_.setOwner(nullptr);
    main_.reset();
}

void QtFrontEnd::prepareMainWindow(App& app) {
    if (main_) return;
    main_ = std::make_unique<MainWindow>(app, hub_);
    hub_.setOwner(main_.get());
    about_ = new AboutBox(app.FrmAbout, hub_, main_.get());
    argument_ = new ArgumentDialog(app.FrmArgument, hub_, main_.get());
    main_->onClosed = [this] {
        if (running_) QCoreApplication::quit();
    };
    // "E&xit" has stored and saved; the window and its dialogs go at once.
    app.FrmMain.onExit = [this] {
        if (main_) main_->closeFromProgram();
    };
    // One font for the three windows, chosen with their captions in place.
    hub_.refreshAll();
    ApplyWindowFont({main_.get(), about_.data(), argument_.data()});
}

MainWindow& QtFrontEnd::openMainWindow(App& app) {
    prepareMainWindow(app);
    hub_.refreshAll();
    main_->show();
    return *main_;
}

int QtFrontEnd::runMainWindow(App& app) {
    QApplication::setQuitOnLastWindowClosed(false);
    openMainWindow(app);
    running_ = true;
    const int status = QApplication::exec();
    running_ = false;
    return status;
}

void QtFrontEnd::showAbuWindow(App& app) {
    if (!abu_) {
        abu_ = std::make_unique<AbuWindow>(app.FrmABU, hub_);
        ApplyWindowFont({abu_.get()});
    }
    app.FrmABU.show();
    hub_.refreshAll();
    QApplication::processEvents();
}

}  // namespace stowaway
