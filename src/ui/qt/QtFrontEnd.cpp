#include "ui/qt/QtFrontEnd.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>

#include "startup/App.h"
#include "ui/main/OverdueNotice.h"
#include "ui/main/Saving.h"
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
    watch_.reset();
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
    schedule_ = new ScheduleWindow(app.FrmSchedule, hub_, main_.get());
    browse_ = new BrowseWindow(app.FrmBrowse, hub_, main_.get());
    encryption_ = new EncryptionWindow(app.FrmEncryption, hub_, main_.get());
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
    // The later windows get their own, so the classic three look as they always did.
    ApplyWindowFont({schedule_.data(), browse_.data(), encryption_.data()});
}

MainWindow& QtFrontEnd::openMainWindow(App& app) {
    prepareMainWindow(app);
    hub_.refreshAll();
    main_->show();
    // The data file is loaded now: a signal that came during the start-up ends
    // the window; it could not before (its save would have emptied the file).
    started_ = true;
    if (endRequested_) closeForSessionEnd();
    return *main_;
}

int QtFrontEnd::runMainWindow(App& app) {
    QApplication::setQuitOnLastWindowClosed(false);
    watchSessionEnd(app);
    openMainWindow(app);
    if (main_->isClosed()) return 0;
    // The start-up text has its moment before an overdue Crate is named.
    QTimer::singleShot(OverdueNoticeDelayMilliseconds, main_.get(), [this, &app] {
        NoteOverdueCrates(app);
        hub_.refreshAll();
    });
    running_ = true;
    const int status = QApplication::exec();
    running_ = false;
    return status;
}

bool QtFrontEnd::claimInteractive(App& app) {
    const QString folder =
        instanceFolder_.isEmpty() ? SingleInstance::RuntimeFolder() : instanceFolder_;
    instance_ = std::make_unique<SingleInstance>(folder, SingleInstance::KeyFor(app.ProgramFolder));
    instance_->onShowRequested = [this] { bringToFront(); };
    // Before the socket listens: from then on a signal to end is held until the
    // window can close.
    watchSessionEnd(app);
    return instance_->claim();
}

void QtFrontEnd::bringToFront() {
    if (!main_ || main_->isClosed()) return;
    if (main_->isMinimized()) main_->showNormal();
    main_->show();
    main_->raise();
    main_->activateWindow();
}

void QtFrontEnd::watchSessionEnd(App& app) {
    if (watch_) return;
    watch_ = std::make_unique<TerminationWatch>([this](int) { closeForSessionEnd(); });
    // A logout asks first (and may be cancelled): save, and keep the window.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, watch_.get(),
                     [this, &app](QSessionManager&) {
                         if (started_) CommitAndSave(app);
                     });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, watch_.get(),
                     [this] { closeForSessionEnd(); });
}

void QtFrontEnd::closeForSessionEnd() {
    if (!started_) {
        endRequested_ = true;
        return;
    }
    // As the close box: the window's own close stores, saves and ends the loop.
    if (main_ && !main_->isClosed()) main_->close();
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
