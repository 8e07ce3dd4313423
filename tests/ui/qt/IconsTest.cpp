#include <gtest/gtest.h>
#include <QImage>

#include "QtHarness.h"
#include "ui/qt/Icons.h"

namespace stowaway::test {
namespace {

// Whether a picture shows anything: some pixel not fully transparent.
bool Drawn(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) return true;
    return false;
}

// Every picture button and the program's icon, at the sizes the window asks
// for and at one that was not drawn ahead (SVG or build-time PNGs alike).
TEST(Icons, EveryPictureIsDrawnAtEverySize) {
    TestApplication();
    for (const char* name :
         {"backup", "restore", "delete", "rename", "add", "arrow-right", "arrow-left"}) {
        const QIcon icon = PictureIcon(name);
        ASSERT_FALSE(icon.isNull()) << name;
        for (int size : {16, 20, 24, 32, 48, 64}) {
            const QPixmap pixmap = icon.pixmap(size, size);
            EXPECT_EQ(pixmap.size(), QSize(size, size)) << name << " " << size;
            EXPECT_TRUE(Drawn(pixmap)) << name << " " << size;
        }
    }
    EXPECT_FALSE(ProgramIcon().isNull());
    for (int size : {32, 80, 100}) {
        const QPixmap pixmap = ProgramPixmap(size);
        EXPECT_EQ(pixmap.size(), QSize(size, size)) << size;
        EXPECT_TRUE(Drawn(pixmap)) << size;
    }
}

TEST(Icons, AnUnknownNameHasNoPicture) {
    TestApplication();
    EXPECT_TRUE(PictureIcon("no-such-picture").isNull());
    EXPECT_TRUE(PictureIcon("").isNull());
}

}  // namespace
}  // namespace stowaway::test
