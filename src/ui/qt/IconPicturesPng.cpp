#include <QFile>
#include <QPainter>

#include "ui/qt/IconPictures.h"

// The resources live in a static library, whose registration the linker would drop.
static void InitIconResources() {
    Q_INIT_RESOURCE(stowaway);
}

namespace stowaway {

namespace {

// The sizes drawn at build time (src/ui/qt/CMakeLists.txt); the largest is
// scaled for any other.
constexpr int LargestDrawn = 80;

QString Resource(const QString& name, int size) {
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    return ":/icons/" + name + "-" + QString::number(size) + ".png";
}

}  // namespace

bool HasIconPicture(const QString& name) {
    return QFile::exists(Resource(name, LargestDrawn));
}

QPixmap IconPicture(const QString& name, int size) {
    QPixmap drawn(Resource(name, size));
    if (!drawn.isNull()) return drawn;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    const QPixmap largest(Resource(name, LargestDrawn));
    if (largest.isNull()) return pixmap;
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(pixmap.rect(), largest);
    return pixmap;
}

}  // namespace stowaway
