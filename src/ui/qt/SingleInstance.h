#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "platform/InstanceLock.h"

namespace stowaway {

// One interactive window per user and program folder (and so per data file). The
// first start holds a lock and listens on a local socket beside it; a later start
// finds the lock held, asks the first one to bring its window to the front, and
// ends. A lock or socket left by a dead process blocks nothing.
class SingleInstance {
  public:
    // `folder`: where the lock and the socket go (the user's runtime folder);
    // `key`: what names them.
    SingleInstance(const QString& folder, const QString& key);

    // True when this start is the only interactive one and goes on; false when
    // another one runs (it has been asked to show its window).
    bool claim();

    // Runs in the first start when a later one asks for its window.
    std::function<void()> onShowRequested;

    // The user's runtime folder, and the key for a program folder.
    static QString RuntimeFolder();
    static QString KeyFor(const std::string& programFolder);

  private:
    void askOtherToShow() const;
    void answer();

    QString lockPath_, serverPath_;
    std::unique_ptr<InstanceLock> lock_;
    QLocalServer server_;
};

// What a later start sends to the first one.
inline constexpr const char* ShowWindowRequest = "show\n";

}  // namespace stowaway
