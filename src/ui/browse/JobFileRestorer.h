#pragma once

#include "ui/browse/FileRestorer.h"

namespace stowaway {

class App;

// The browser's restore as a job: the chosen entries go through the archiver as
// the headless restore sends them, its output captured, its progress and the
// user's cancel passed through the browser.
class JobFileRestorer : public FileRestorer {
  public:
    explicit JobFileRestorer(App& app) : app_(app) {}
    std::vector<ReplacedFile> wouldReplace(const RestoreBatch& batch,
                                           const std::string& target) override;
    RestoreReport restore(const RestoreBatch& batch, const std::string& target,
                          const std::function<bool(std::size_t, std::size_t)>& progress) override;

  private:
    App& app_;
};

}  // namespace stowaway
