#pragma once

#include <QString>

namespace stowaway {

// Where SingleInstance keeps its lock and its socket, and what tells users apart
// in their names: each system has its own file.
// The user's own folder for run-time files.
QString UserRuntimeFolder();
// The user, as a name part: the lock and the socket may be seen by other users.
QString UserKey();

}  // namespace stowaway
