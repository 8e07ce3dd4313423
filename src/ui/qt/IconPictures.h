#pragma once

#include <QPixmap>
#include <QString>

namespace stowaway {

// One picture of the resources' icons (":/icons/"), by name ("backup") and size
// in pixels: drawn from its SVG where Qt SVG is there, else taken from the PNGs
// drawn at build time. The resources are registered first.
bool HasIconPicture(const QString& name);
QPixmap IconPicture(const QString& name, int size);

}  // namespace stowaway
