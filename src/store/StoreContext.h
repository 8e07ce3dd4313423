#pragma once

#include <string>

#include "platform/Platform.h"
#include "store/CrateRecord.h"
#include "store/MessageBoxes.h"

namespace stowaway {

// What the store's operations work with: the OS, the message boxes they report
// through, the Crates, and where the program keeps its files.
struct StoreContext {
    Platform& platform;
    MessageBoxes& boxes;
    CrateStore& store;
    std::string ProgramFolder;
    std::string DataFilePath;
    std::string WindowsDir;

    const PathStyle& style() const { return platform.style(); }
};

}  // namespace stowaway
