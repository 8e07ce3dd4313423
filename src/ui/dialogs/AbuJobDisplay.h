#pragma once

#include "engine/JobContext.h"
#include "ui/dialogs/AbuForm.h"

namespace stowaway {

// The automated backup's progress window as a job's display. It has no pointer
// to change and no debug box; without a shown window (no display) the status
// texts go to standard error, so an unattended run still tells its progress.
class AbuJobDisplay : public JobDisplay {
  public:
    explicit AbuJobDisplay(AbuForm& form) : form_(form) {}
    void showStatus(const std::string& text) override;
    double progress() const override { return form_.PrBMain.value(); }
    void setProgress(double value) override { form_.PrBMain.setValue(value); }
    void setBusy(bool) override {}
    void showCommand(const std::string&) override {}
    OutputMode outputMode() const override { return OutputMode::Captured; }

  private:
    AbuForm& form_;
};

}  // namespace stowaway
