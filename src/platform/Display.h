#pragma once

namespace stowaway {

// Whether a window can be shown: on Linux an X11 or Wayland display (or a Qt
// platform chosen by QT_QPA_PLATFORM); on Windows the desktop of an interactive
// session, which a service does not have.
bool DisplayAvailable();

}  // namespace stowaway
