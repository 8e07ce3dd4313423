#pragma once

#include <string>

#include "platform/scheduler/CommandRunner.h"

namespace stowaway {

// The user's crontab as a whole text.
class CrontabAccess {
  public:
    virtual ~CrontabAccess() = default;
    // An empty text when the user has none. False with the reason when it could not be read.
    virtual bool read(std::string& text, std::string& error) = 0;
    virtual bool write(const std::string& text, std::string& error) = 0;
};

// Through the crontab command ("crontab -l", "crontab -"); user names another
// user's crontab ("-u", for root only), empty the caller's own.
class CrontabCommand : public CrontabAccess {
  public:
    explicit CrontabCommand(CommandRunner& runner, std::string user = {})
        : runner_(runner), user_(std::move(user)) {}
    bool read(std::string& text, std::string& error) override;
    bool write(const std::string& text, std::string& error) override;

  private:
    std::vector<std::string> command(const std::string& action) const;
    CommandRunner& runner_;
    std::string user_;
};

}  // namespace stowaway
