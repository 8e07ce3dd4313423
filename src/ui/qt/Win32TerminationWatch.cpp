#include <QSocketNotifier>

#include "ui/qt/TerminationWatch.h"

namespace stowaway {

// A window program on Windows gets no signals: the end of the session comes as
// the application's commit and quit, which QtFrontEnd follows already. So this
// watch watches nothing (watching() is false).
TerminationWatch::TerminationWatch(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)) {}

TerminationWatch::~TerminationWatch() = default;

void TerminationWatch::drain() {}

}  // namespace stowaway
