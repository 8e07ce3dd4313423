#include <gtest/gtest.h>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <map>
#include <set>

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

// The point sizes of every caption and box of a window, by widget; a widget with
// a font of its own by design (the about box's title) is left out.
std::map<double, std::vector<std::string>> CaptionSizes(QWidget* window) {
    std::map<double, std::vector<std::string>> sizes;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->window() != window) continue;
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) &&
            !qobject_cast<QGroupBox*>(w) && !qobject_cast<QLineEdit*>(w) &&
            !qobject_cast<QTabBar*>(w))
            continue;
        if (w->property("ownFont").toBool()) continue;
        sizes[w->font().pointSizeF()].push_back(w->objectName().toStdString());
    }
    return sizes;
}

TEST(QtScreens, EveryCaptionOfEveryWindowShowsInFullAndTheWindowsAreRendered) {
    QtProgram p;
    MainWindow& window = p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    for (int tab = 0; tab < 3; ++tab) {
        p.showTab(tab);
        SaveShot(&window, "main-tab" + std::to_string(tab));
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
    SaveShot(about, "about");
    EXPECT_EQ(CutOffCaptions(about), std::vector<std::string>{});

    p.app.FrmArgument.TxtArgumentLine.setText(
        "pkzip25.exe -add -path=full -level=5 \"/tmp/swbackup.zip\" @\"/tmp/swtemp.lst\"");
    p.app.FrmArgument.show();
    p.hub.refreshAll();
    ArgumentDialog* argument = p.frontEnd.argumentDialog();
    ASSERT_TRUE(argument && argument->isVisible());
    SaveShot(argument, "argument");
    EXPECT_EQ(CutOffCaptions(argument), std::vector<std::string>{});

    // One font size for every caption of the three windows, whatever they hold:
    // a ten-character date and the other captions of the toggle buttons too.
    p.showTab(0);
    p.app.FrmMain.TxtDateIncludeExclude.setText("12/28/2026");
    p.click("ChkIncludeExclude");
    p.click("CmdIncludeExclude");
    p.click("ChkDateIncludeExclude");
    p.click("CmdDateIncludeExclude");
    EXPECT_EQ(p.widget<QPushButton>("CmdIncludeExclude")->text(), "Exclude");
    EXPECT_EQ(p.widget<QPushButton>("CmdDateIncludeExclude")->text(), "Before");
    EXPECT_EQ(CutOffCaptions(&window), std::vector<std::string>{});
    std::set<double> sizes;
    for (QWidget* w : std::initializer_list<QWidget*>{&window, about, argument})
        for (const auto& [size, names] : CaptionSizes(w)) sizes.insert(size);
    EXPECT_EQ(sizes.size(), 1u) << ::testing::PrintToString(CaptionSizes(&window));
    const QFontMetrics fm(p.widget("TxtDateIncludeExclude")->font());
    EXPECT_LE(fm.horizontalAdvance("12/28/2026"), p.widget("TxtDateIncludeExclude")->width());
    SaveShot(&window, "main-tab0-filters");
}

// A message box over the main window, as a person sees it: the window behind with
// the state the job set before asking.
TEST(QtScreens, AMessageBoxStandsOverTheWindow) {
    QtProgram p;
    MainWindow& window = p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    bool saved = false;
    p.ui.beforeModal = [&](QDialog& dialog) {
        QPointer<QDialog> box(&dialog);
        QMetaObject::invokeMethod(
            &dialog,
            [&, box] {
                if (!box) return;
                if (!saved) {
                    QApplication::processEvents();
                    QPixmap shot = window.grab();
                    const QPixmap front = box->grab();
                    QPainter painter(&shot);
                    const QSize room = window.size() - box->size();
                    painter.drawPixmap(QPoint(room.width() / 2, room.height() / 2), front);
                    painter.end();
                    EXPECT_TRUE(
                        shot.save(QString::fromStdString(ShotFolder() + "/message-box.png")));
                    saved = true;
                }
                box->reject();
            },
            Qt::QueuedConnection);
    };
    p.click("CmdRestore");
    EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace stowaway::test
