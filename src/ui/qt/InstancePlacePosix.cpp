#include <unistd.h>

#include <QDir>
#include <QStandardPaths>

#include "ui/qt/InstancePlace.h"

namespace stowaway {

QString UserRuntimeFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString UserKey() {
    return QString::number(::getuid());
}

}  // namespace stowaway
