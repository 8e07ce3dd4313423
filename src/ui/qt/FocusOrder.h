#pragma once

class QWidget;

namespace stowaway {

// Orders the Tab key's way through a window as a person reads it: row by row from
// the top, left to right within a row; a frame or tab page is taken as one piece
// and walked through the same way before the next.
void OrderFocusChain(QWidget* window);

}  // namespace stowaway
