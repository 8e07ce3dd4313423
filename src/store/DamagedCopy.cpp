#include "store/DamagedCopy.h"

#include "platform/Platform.h"

namespace stowaway {

namespace {
// Enough for years of damaged starts; a folder that full is not written into.
constexpr int MaxNumber = 999;
}  // namespace

std::string KeepDamagedCopy(const Platform& platform, const std::string& path,
                            const std::string& bytes) {
    const std::string base = path + ".damaged";
    for (int n = 0; n <= MaxNumber; ++n) {
        const std::string candidate = n == 0 ? base : base + "." + std::to_string(n);
        switch (platform.createNewFile(candidate, bytes)) {
            case CreateStatus::Created:
                return candidate;
            case CreateStatus::Exists:
                continue;
            case CreateStatus::Failed:
                return {};
        }
    }
    return {};
}

std::string DamagedCopyText(const std::string& keptPath) {
    return "The file that could not be read was kept as " + keptPath +
           " before Stowaway.dat is saved again.";
}

}  // namespace stowaway
