// The window's data at the edges of a session: a second start, a signal to end,
// a logout.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QLocalServer>
#include <cstring>
#include <filesystem>
#include <functional>

#include "QtHarness.h"
#include "platform/NativeText.h"
#include "ui/qt/SingleInstance.h"
#include "ui/qt/TerminationWatch.h"

namespace stowaway {
namespace {

using test::QtProgram;
using test::ReadFile;
using test::TempDir;

// Handles events until `done` holds. The event that makes it hold is already
// queued (bytes in a pipe or socket), so the bound is only a guard against a hang.
bool EventsUntil(const std::function<bool()>& done) {
    for (int pass = 0; pass < 2000 && !done(); ++pass)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

TEST(QtSingleInstance, ASecondStartAsksTheFirstToShowItsWindowAndEnds) {
    TempDir runtime;
    QtProgram p;
    p.frontEnd.setInstanceFolder(QString::fromStdString(runtime.path()));
    ASSERT_TRUE(p.frontEnd.claimInteractive(p.app));
    MainWindow& window = p.start();
    window.showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(window.isMinimized());

    // The later start of the same program folder: refused, and the first window
    // comes back to the front.
    const QString key = SingleInstance::KeyFor(p.app.ProgramFolder);
    SingleInstance later(QString::fromStdString(runtime.path()), key);
    EXPECT_FALSE(later.claim());
    EXPECT_TRUE(EventsUntil([&] { return !window.isMinimized(); }));
    EXPECT_TRUE(window.isVisible());

    // Another program folder (another data file) has a window of its own.
    SingleInstance elsewhere(QString::fromStdString(runtime.path()),
                             SingleInstance::KeyFor(p.app.ProgramFolder + "/other"));
    EXPECT_TRUE(elsewhere.claim());
    EXPECT_NE(key, SingleInstance::KeyFor(p.app.ProgramFolder + "/other"));
}

// A start that was killed leaves its lock file and its socket file: neither
// blocks the next start, which listens in its place.
TEST(QtSingleInstance, WhatADeadStartLeftBehindBlocksNothing) {
    test::TestApplication();  // the event loop that answers
    TempDir runtime;
    const QString folder = QString::fromStdString(runtime.path());
    const QString key = "stowaway-test-key";
    test::WriteFile(runtime / (key.toStdString() + ".lock"), "12345\n");
    // A socket file with nobody listening, as a killed process leaves it.
    const std::string socketPath = runtime / key.toStdString();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(std::filesystem::exists(toPath(socketPath)));

    SingleInstance next(folder, key);
    ASSERT_TRUE(next.claim());
    int asked = 0;
    next.onShowRequested = [&] { ++asked; };
    SingleInstance after(folder, key);
    EXPECT_FALSE(after.claim());
    EXPECT_TRUE(EventsUntil([&] { return asked == 1; }));
}

// SIGTERM (a shutdown, kill) and SIGHUP (the terminal went) end the program as
// its close box does: the shown Crate's edits are stored and saved.
TEST(QtSession, TermAndHangUpSignalsCloseTheWindowAsItsCloseBoxDoes) {
    for (int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        QtProgram p;
        MainWindow& window = p.start();
        p.type("TxtAddCrate", "Documents");
        p.click("CmdAddCrate");
        p.type("TxtBackupLocation", "/srv/archive/documents.zip");
        std::filesystem::remove(toPath(p.file("Stowaway.dat")));
        p.frontEnd.watchSessionEnd(p.app);

        ASSERT_EQ(::raise(sig), 0);  // the process lives on: handled
        EXPECT_TRUE(EventsUntil([&] { return window.isClosed(); }));
        EXPECT_FALSE(window.isVisible());
        const std::string saved = ReadFile(p.file("Stowaway.dat"));
        EXPECT_NE(saved.find("\"SBLOC=/srv/archive/documents.zip\""), std::string::npos) << saved;
    }
}

// One watch at a time; the handlers it replaced come back when it goes.
TEST(QtSession, TheWatchPutsThePreviousHandlersBack) {
    test::TestApplication();  // the event loop that reads the pipe
    const auto before = ::signal(SIGHUP, SIG_IGN);
    {
        int seen = 0;
        TerminationWatch watch([&](int s) { seen = s; });
        ASSERT_TRUE(watch.watching());
        TerminationWatch second([](int) {});
        EXPECT_FALSE(second.watching());
        ASSERT_EQ(::raise(SIGHUP), 0);
        EXPECT_TRUE(EventsUntil([&] { return seen == SIGHUP; }));
    }
    EXPECT_EQ(::signal(SIGHUP, before), SIG_IGN);
}

}  // namespace
}  // namespace stowaway
