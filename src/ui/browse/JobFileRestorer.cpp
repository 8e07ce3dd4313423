#include "ui/browse/JobFileRestorer.h"

#include "engine/versions/FileRestore.h"
#include "startup/App.h"

namespace stowaway {

namespace {

std::vector<PickedFile> Picked(const RestoreBatch& batch) {
    std::vector<PickedFile> files;
    for (const ListedEntry& entry : batch.entries)
        files.push_back(PickedFile{batch.version.path, batch.version.stamp, entry});
    return files;
}

// The job's display inside the browser: the status goes nowhere (the browser
// says how it ended), the progress to the browser's bar, the output is captured.
class BrowseJobDisplay : public JobDisplay {
  public:
    explicit BrowseJobDisplay(UiServices& ui) : ui_(ui) {}
    void showStatus(const std::string&) override {}
    double progress() const override { return progress_; }
    void setProgress(double value) override { progress_ = value; }
    void setBusy(bool busy) override { ui_.setBusyPointer(busy); }
    void showCommand(const std::string&) override {}
    OutputMode outputMode() const override { return OutputMode::Captured; }

  private:
    UiServices& ui_;
    double progress_ = 0;
};

}  // namespace

std::vector<ReplacedFile> JobFileRestorer::wouldReplace(const RestoreBatch& batch,
                                                        const std::string& target) {
    std::vector<ReplacedFile> replaced;
    for (const ExistingFile& file : PreviewRestore(app_.platform, Picked(batch), target).replaced)
        replaced.push_back(ReplacedFile{file.path, file.newerOnDisk});
    return replaced;
}

RestoreReport JobFileRestorer::restore(
    const RestoreBatch& batch, const std::string& target,
    const std::function<bool(std::size_t, std::size_t)>& progress) {
    BrowseJobDisplay display(app_.ui);
    const JobContext main = app_.jobContext();
    const JobContext ctx{main.platform,
                         main.ui,
                         display,
                         main.store,
                         main.job,
                         main.ProgramFolder,
                         false,
                         main.notifier,
                         main.runLockWaitMilliseconds,
                         main.workLockWaitMilliseconds};
    const std::size_t total = batch.entries.size();
    FileRestoreRequest request;
    request.files = Picked(batch);
    request.target = target;
    request.crate = app_.FrmBrowse.state.crate;
    request.replaceNewer = true;  // the browser has asked about every replaced file
    request.cancelled = [&] {
        const double done = display.progress() / 100.0 * static_cast<double>(total);
        return !progress(static_cast<std::size_t>(done), total);
    };
    const FileRestoreOutcome outcome = RestoreFiles(ctx, request);
    RestoreReport report;
    report.ok = outcome.ok;
    report.cancelled = outcome.cancelled;
    report.restored = static_cast<std::size_t>(outcome.restored);
    for (const std::string& problem : outcome.problems)
        report.message += (report.message.empty() ? "" : "\n") + problem;
    return report;
}

}  // namespace stowaway
