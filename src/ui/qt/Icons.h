#pragma once

#include <QIcon>
#include <QPixmap>
#include <string>

namespace stowaway {

// The picture of a picture button by its name ("backup", "arrow-left", ...);
// a null icon for an unknown name.
QIcon PictureIcon(const std::string& name);
// The program's icon, and the same drawing at a chosen size.
QIcon ProgramIcon();
QPixmap ProgramPixmap(int size);

}  // namespace stowaway
