#include "ui/qt/Icons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

// The resources live in a static library, whose registration the linker would drop.
static void InitIconResources() {
    Q_INIT_RESOURCE(stowaway);
}

namespace stowaway {

namespace {

// Rendered here rather than through Qt's image plugins, so that only the SVG
// library is needed at run time.
void EnsureResources() {
    static const bool registered = (InitIconResources(), true);
    (void)registered;
}

QPixmap Render(const QString& resource, int size) {
    EnsureResources();
    QSvgRenderer renderer(resource);
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    if (!renderer.isValid()) return pixmap;
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon IconOf(const QString& resource) {
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64}) icon.addPixmap(Render(resource, size));
    return icon;
}

}  // namespace

QIcon PictureIcon(const std::string& name) {
    EnsureResources();
    const QString resource = ":/icons/" + QString::fromStdString(name) + ".svg";
    if (!QFile::exists(resource)) return {};
    return IconOf(resource);
}

QIcon ProgramIcon() {
    return IconOf(":/icons/stowaway.svg");
}

QPixmap ProgramPixmap(int size) {
    return Render(":/icons/stowaway.svg", size);
}

}  // namespace stowaway
