#pragma once

// The platform layer of the system being built for.
#ifdef _WIN32
#include "platform/Win32Platform.h"
namespace stowaway {
using NativePlatform = Win32Platform;
}
#else
#include "platform/PosixPlatform.h"
namespace stowaway {
using NativePlatform = PosixPlatform;
}
#endif
