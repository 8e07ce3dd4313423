#include "ui/qt/EncryptionWindow.h"

#include <QLabel>
#include <QLineEdit>

#include "ui/encryption/EncryptionForm.h"
#include "ui/qt/FocusOrder.h"

namespace stowaway {

EncryptionWindow::EncryptionWindow(EncryptionForm& f, ViewHub& hub, QWidget* parent)
    : FormWindow(f, hub, parent,
                 Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                     Qt::MSWindowsFixedSizeDialogHint) {
    add(f.LblCrate);
    add(f.ChkEncrypt);
    add(f.LblPassword);
    for (TextBox* box : {&f.TxtPassword, &f.TxtConfirm}) {
        if (box == &f.TxtConfirm) add(f.LblConfirm);
        if (auto* edit = qobject_cast<QLineEdit*>(add(*box))) {
            edit->setEchoMode(QLineEdit::Password);
            edit->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhNoPredictiveText |
                                      Qt::ImhSensitiveData);
        }
    }
    add(f.ChkRemember);
    add(f.LblKeyFile);
    add(f.TxtKeyFile);
    for (Label* label : {&f.LblReadable, &f.LblMessage}) {
        auto* shown = static_cast<QLabel*>(add(*label));
        shown->setWordWrap(true);
        shown->setProperty(HeightOnlyProperty, true);
    }
    add(f.CmdApply);
    add(f.CmdClose);
    OrderFocusChain(this);
    // The close box forgets what was typed, as Close does.
    onCloseBox = [&f] { f.CmdClose.click(); };
}

}  // namespace stowaway
