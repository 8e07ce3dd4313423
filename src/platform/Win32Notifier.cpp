#include "platform/Notifier.h"

namespace stowaway {

namespace {

// Windows has no session bus; its own notifications are not written yet. Saying so
// puts the reason in the run log instead of passing for a shown alert.
class UnavailableNotifier : public Notifier {
  public:
    std::string notify(const DesktopAlert&) override {
        return "desktop notifications are not available on this system";
    }
};

}  // namespace

std::unique_ptr<Notifier> MakeDesktopNotifier() {
    return std::make_unique<UnavailableNotifier>();
}

}  // namespace stowaway
