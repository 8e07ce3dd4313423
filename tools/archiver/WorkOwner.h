// Who owns a work file or a commit journal: the host and the process named in
// it. A folder shared over the network is seen from other machines too, whose
// processes are not ours to judge.
#pragma once

#include <cstddef>
#include <string>

namespace pkzip {

constexpr size_t kHostNameMax = 64;

// This machine's name as it stands in work names: letters, digits, '.' and
// '_' only (the names separate their parts with '-', '@' and '~'), at most
// kHostNameMax bytes.
const std::string& ThisHost();

// Whether process `pid` of this machine still runs.
bool ProcessAlive(long pid);

}  // namespace pkzip
