#pragma once

namespace stowaway {

// Keeps the process from being dumped or traced by others while a secret is
// held; returns what AllowDumps restores (0: nothing to restore).
int ForbidDumps();
void AllowDumps(int before);

}  // namespace stowaway
