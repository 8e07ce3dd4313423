#include <windows.h>

#include <QDir>

#include "ui/qt/InstancePlace.h"

namespace stowaway {

// Qt's runtime folder on Windows is the home folder; the user's temporary folder
// is the one meant for such files.
QString UserRuntimeFolder() {
    return QDir::tempPath();
}

// Named pipes share one name space on the machine, whoever's folder their name
// comes from.
QString UserKey() {
    wchar_t name[256 + 1];
    DWORD length = sizeof name / sizeof name[0];
    if (!::GetUserNameW(name, &length) || length == 0) return "user";
    return QString::fromWCharArray(name, static_cast<int>(length - 1));
}

}  // namespace stowaway
