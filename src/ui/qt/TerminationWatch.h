#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace stowaway {

// Turns SIGTERM, SIGHUP and SIGINT into a call on the event loop, so that the
// program can end as if its window were closed. The handler only writes the
// signal's number to a pipe (errno kept); a socket notifier reads it. One watch
// at a time; the previous handlers come back when it goes. On Windows it
// watches nothing: a window program gets no signals there.
class TerminationWatch : public QObject {
  public:
    explicit TerminationWatch(std::function<void(int signal)> onSignal);
    ~TerminationWatch() override;
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

    // False when the pipe or the handlers could not be set up.
    bool watching() const { return notifier_ != nullptr; }

  private:
    void drain();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace stowaway
