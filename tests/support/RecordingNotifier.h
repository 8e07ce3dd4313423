#pragma once

#include <string>
#include <vector>

#include "platform/Notifier.h"

namespace stowaway::test {

// Keeps the alerts instead of showing them; `answer` is what notify returns
// ("" for shown, else why not).
class RecordingNotifier : public Notifier {
  public:
    std::vector<DesktopAlert> alerts;
    std::string answer;
    std::string notify(const DesktopAlert& alert) override {
        alerts.push_back(alert);
        return answer;
    }
};

}  // namespace stowaway::test
