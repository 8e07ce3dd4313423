#include "ui/qt/Icons.h"

#include "ui/qt/IconPictures.h"

namespace stowaway {

namespace {

QIcon IconOf(const QString& name) {
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64}) icon.addPixmap(IconPicture(name, size));
    return icon;
}

}  // namespace

QIcon PictureIcon(const std::string& name) {
    const QString picture = QString::fromStdString(name);
    if (!HasIconPicture(picture)) return {};
    return IconOf(picture);
}

QIcon ProgramIcon() {
    return IconOf("stowaway");
}

QPixmap ProgramPixmap(int size) {
    return IconPicture("stowaway", size);
}

}  // namespace stowaway
