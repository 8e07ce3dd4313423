#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "support/FakeKeyring.h"
#include "ui/qt/QtHarness.h"

namespace stowaway {
namespace {

using test::QtProgram;

TEST(QtEncryption, TheDialogHidesThePasswordsAndSaysWhatStaysReadable) {
    test::ToolScreen s;
    QtProgram& p = s.p;
    p.start();
    auto fake = std::make_unique<test::FakeKeyring>();
    test::FakeKeyring* keyring = fake.get();
    p.app.keyring = std::move(fake);
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    EXPECT_EQ(p.action("MnuToolsEncryption")->text(), "&Encryption...");
    s.open("MnuToolsEncryption", &QtFrontEnd::encryptionWindow);
    auto in = [&](const std::string& name) { return s.in(name); };
    auto* encrypt = qobject_cast<QCheckBox*>(in("ChkEncrypt"));
    ASSERT_TRUE(encrypt);
    EXPECT_EQ(encrypt->text(), "Encrypt archive (AES-256)");
    QTest::mouseClick(encrypt, Qt::LeftButton, {}, QPoint(8, encrypt->height() / 2));
    QApplication::processEvents();
    auto* password = qobject_cast<QLineEdit*>(in("TxtPassword"));
    auto* again = qobject_cast<QLineEdit*>(in("TxtConfirm"));
    ASSERT_TRUE(password && again);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(again->echoMode(), QLineEdit::Password);
    QTest::keyClicks(password, "qt secret");
    QTest::keyClicks(again, "qt secret");
    auto* remember = qobject_cast<QCheckBox*>(in("ChkRemember"));
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(8, remember->height() / 2));
    QApplication::processEvents();
    EXPECT_NE(qobject_cast<QLabel*>(in("LblReadable"))->text().indexOf("stay readable"), -1);
    for (const char* name :
         {"ChkEncrypt", "ChkRemember", "LblPassword", "LblConfirm", "CmdApply", "CmdClose"})
        EXPECT_TRUE(CaptionFits(in(name))) << name;
    s.save("encryption-dialog");

    QTest::mouseClick(qobject_cast<QPushButton*>(in("CmdApply")), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ((keyring->items[{p.app.ProgramFolder, "documents"}]), "qt secret");
    EXPECT_EQ(password->text(), "");
    EXPECT_EQ(qobject_cast<QLabel*>(in("LblMessage"))->text(),
              "Documents is encrypted with AES-256 from its next backup on.");
}

}  // namespace
}  // namespace stowaway
