#pragma once

#include "engine/JobContext.h"
#include "ui/controls/UiServices.h"
#include "ui/main/MainForm.h"

namespace stowaway {

// The main window as a job's display: the status bar's first panel, the progress
// bar, the hourglass and the debug box that shows a visible run's command line.
class MainJobDisplay : public JobDisplay {
  public:
    MainJobDisplay(MainForm& form, UiServices& ui) : form_(form), ui_(ui) {}
    void showStatus(const std::string& text) override { form_.StBMain.setPanelText(text); }
    double progress() const override { return form_.PrBMain.value(); }
    void setProgress(double value) override { form_.PrBMain.setValue(value); }
    void setBusy(bool busy) override { ui_.setBusyPointer(busy); }
    void showCommand(const std::string& commandLine) override {
        form_.TxtDebug.setText(commandLine);
    }
    OutputMode outputMode() const override {
        switch (form_.ChkHideOutput.value()) {
            case CheckBox::Checked:
                return OutputMode::Captured;
            case CheckBox::Unchecked:
                return OutputMode::Shown;
            default:
                return OutputMode::Unset;
        }
    }

  private:
    MainForm& form_;
    UiServices& ui_;
};

}  // namespace stowaway
