#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include "ui/qt/IconPictures.h"

// The resources live in a static library, whose registration the linker would drop.
static void InitIconResources() {
    Q_INIT_RESOURCE(stowaway);
}

namespace stowaway {

namespace {

// Rendered here rather than through Qt's image plugins, so that only the SVG
// library is needed at run time.
QString Resource(const QString& name) {
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    return ":/icons/" + name + ".svg";
}

}  // namespace

bool HasIconPicture(const QString& name) {
    return QFile::exists(Resource(name));
}

QPixmap IconPicture(const QString& name, int size) {
    QSvgRenderer renderer(Resource(name));
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    if (!renderer.isValid()) return pixmap;
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

}  // namespace stowaway
