#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>

#include "QtHarness.h"

namespace stowaway::test {
namespace {

QString Plain(QString caption) {
    caption.replace("&&", "\x01");
    caption.remove('&');
    caption.replace("\x01", "&");
    return caption;
}

// The captions of one window that do not fully show: each caption against its
// own widget in the widget's font, and each widget against its container.
std::vector<std::string> CutOffCaptions(QWidget* window) {
    std::vector<std::string> cut;
    auto name = [](const QWidget* w) { return w->objectName().toStdString(); };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->window() != window) continue;
        const QFontMetrics fm(w->font());
        const QStyle* style = w->style();
        int needed = 0;
        bool tallEnough = true;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty()) continue;
            if (label->wordWrap()) {
                const QRect text = fm.boundingRect(QRect(0, 0, w->width(), 10000), Qt::TextWordWrap,
                                                   label->text());
                tallEnough = text.height() <= w->height();
            } else {
                needed = fm.horizontalAdvance(label->text());
                tallEnough = fm.height() <= w->height() + 3;
            }
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            if (box->text().isEmpty()) continue;
            needed = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                     style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w) +
                     fm.horizontalAdvance(Plain(box->text()));
            tallEnough = fm.height() <= w->height() + 3;
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            if (button->text().isEmpty()) continue;
            needed = fm.horizontalAdvance(Plain(button->text())) + 4;
            tallEnough = fm.height() <= w->height();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            needed = fm.horizontalAdvance(group->title()) + 8;
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->tabRect(i).width() < fm.horizontalAdvance(tabs->tabText(i)) ||
                    tabs->tabRect(i).right() > tabs->width())
                    cut.push_back(name(w) + ":" + tabs->tabText(i).toStdString());
            continue;
        } else {
            continue;
        }
        if (needed > w->width() || !tallEnough) cut.push_back(name(w) + " (caption)");
        // The frame's own width is one pixel wider than the window by design.
        const QRect room = w->parentWidget()->rect().adjusted(0, 0, 1, 0);
        if (!room.contains(w->geometry())) cut.push_back(name(w) + " (outside its container)");
    }
    return cut;
}

std::string ShotFolder() {
    const std::string folder = std::string(STOWAWAY_PROGRAM_DIR) + "/../qt-screenshots";
    QDir().mkpath(QString::fromStdString(folder));
    return folder;
}

void Save(QWidget* window, const std::string& name) {
    QApplication::processEvents();
    const QString path = QString::fromStdString(ShotFolder() + "/" + name + ".png");
    EXPECT_TRUE(window->grab().save(path)) << path.toStdString();
}

TEST(QtScreens, EveryCaptionOfEveryWindowShowsInFullAndTheWindowsAreRendered) {
    QtProgram p;
    MainWindow& window = p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    for (int tab = 0; tab < 3; ++tab) {
        p.showTab(tab);
        Save(&window, "main-tab" + std::to_string(tab));
    }
    EXPECT_EQ(CutOffCaptions(&window), std::vector<std::string>{});
    // The bottom edge, enlarged: the status text and the bar over its right end.
    QWidget* status = p.widget("StBMain");
    const QPixmap bottom = status->window()->grab(
        QRect(status->mapTo(status->window(), QPoint(0, -6)), QSize(600, status->height() + 6)));
    bottom.scaled(bottom.size() * 2)
        .save(QString::fromStdString(ShotFolder() + "/main-bottom-2x.png"));

    // Filled as the behaviour fills them, so that the longest texts are measured.
    p.app.FrmAbout.LblVersion.setCaption("Version 2.0");
    p.app.FrmAbout.show();
    p.hub.refreshAll();
    AboutBox* about = p.frontEnd.aboutBox();
    ASSERT_TRUE(about && about->isVisible());
    Save(about, "about");
    EXPECT_EQ(CutOffCaptions(about), std::vector<std::string>{});

    p.app.FrmArgument.TxtArgumentLine.setText(
        "pkzip25.exe -add -path=full -level=5 \"/tmp/swbackup.zip\" @\"/tmp/swtemp.lst\"");
    p.app.FrmArgument.show();
    p.hub.refreshAll();
    ArgumentDialog* argument = p.frontEnd.argumentDialog();
    ASSERT_TRUE(argument && argument->isVisible());
    Save(argument, "argument");
    EXPECT_EQ(CutOffCaptions(argument), std::vector<std::string>{});
}

}  // namespace
}  // namespace stowaway::test
