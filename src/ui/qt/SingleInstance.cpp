#include "ui/qt/SingleInstance.h"

#include "ui/qt/InstancePlace.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace stowaway {

namespace {
// How long a later start waits for the first one to take its request; the first
// one answers from its event loop, which a running job keeps live.
constexpr int RequestMilliseconds = 3000;
}  // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& key)
    : lockPath_(folder + "/" + key + ".lock"), serverPath_(folder + "/" + key) {}

QString SingleInstance::RuntimeFolder() {
    return UserRuntimeFolder();
}

QString SingleInstance::KeyFor(const std::string& programFolder) {
    // The user's id as well: the fallback folder may be shared between users.
    const QByteArray folderHash = QCryptographicHash::hash(QByteArray::fromStdString(programFolder),
                                                           QCryptographicHash::Sha256)
                                      .toHex()
                                      .left(16);
    return "stowaway-" + UserKey() + "-" + QString::fromLatin1(folderHash);
}

bool SingleInstance::claim() {
    lock_ = std::make_unique<InstanceLock>(lockPath_.toStdString());
    switch (lock_->state()) {
        case InstanceLock::State::HeldElsewhere:
            askOtherToShow();
            return false;
        case InstanceLock::State::Unavailable:
            // Nothing to tell by (no runtime folder): the window opens as before.
            return true;
        case InstanceLock::State::Owned:
            break;
    }
    // Holding the lock, any socket there is a dead process's.
    QLocalServer::removeServer(serverPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(serverPath_)) {
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { answer(); });
    }
    return true;
}

void SingleInstance::askOtherToShow() const {
    QLocalSocket socket;
    socket.connectToServer(serverPath_);
    if (!socket.waitForConnected(RequestMilliseconds)) return;
    socket.write(ShowWindowRequest);
    socket.waitForBytesWritten(RequestMilliseconds);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(RequestMilliseconds);
}

void SingleInstance::answer() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<QByteArray>();
        auto take = [this, socket, received] {
            *received += socket->readAll();
            if (!received->contains(ShowWindowRequest)) return;
            received->clear();
            if (onShowRequested) onShowRequested();
        };
        QObject::connect(socket, &QLocalSocket::readyRead, socket, take);
        take();  // bytes that came with the connection
    }
}

}  // namespace stowaway
