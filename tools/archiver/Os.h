// The archiver reaches the OS only through the tools' OS layer.
#pragma once

#include "platform/os/File.h"
#include "platform/os/Interrupt.h"
#include "platform/os/Program.h"
#include "platform/os/Self.h"

namespace pkzip {
namespace os = stowaway::os;
}  // namespace pkzip
