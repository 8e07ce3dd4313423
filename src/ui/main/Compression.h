#pragma once

#include <string>

namespace stowaway {

class App;

// "Compression Level:  5 Normal": two blanks before the level (the second is the
// number's sign place), then a name for levels 0, 1, 5 and 9.
std::string CompressionCaption(const App& app);
// The slider moved: the level goes into the current Crate and the caption follows.
void CompressionChanged(App& app);

}  // namespace stowaway
