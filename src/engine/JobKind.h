#pragma once

namespace stowaway {

// What an archiver run does: stores files or extracts them.
enum class JobKind : short { Backup = 0, Restore = 1 };

}  // namespace stowaway
