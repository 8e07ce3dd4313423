#include "ui/qt/FormWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>

#include "ui/dialogs/AbuForm.h"
#include "ui/dialogs/ArgumentForm.h"
#include "ui/main/AboutForm.h"
#include "ui/qt/FocusOrder.h"
#include "ui/qt/Icons.h"
#include "ui/qt/StatusPanel.h"

namespace stowaway {

FormWindow::FormWindow(Form& form, ViewHub& hub, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), FormView(hub), form_(form) {
    setObjectName(ToQ(form.name()));
    setWindowIcon(ProgramIcon());
    setFixedSize(form.place().width, form.place().height);
    setStyleSheet(FrameStyleSheet);
    setClientArea(this);
    bind(
        {&form}, this,
        [this] {
            setWindowTitle(ToQ(form_.caption()));
            if (form_.visible() && !isVisible()) {
                show();
                raise();
                activateWindow();
            } else if (!form_.visible() && isVisible()) {
                hide();
            }
        },
        false);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    forward([this] {
        if (onCloseBox) onCloseBox();
        form_.hide();
    });
}

AboutBox::AboutBox(AboutForm& f, ViewHub& hub, QWidget* parent)
    : FormWindow(f, hub, parent,
                 Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                     Qt::MSWindowsFixedSizeDialogHint) {
    auto* logo = new QLabel(this);
    logo->setObjectName("ImgLogo");
    logo->setGeometry(8, 8, 32, 32);
    logo->setPixmap(ProgramPixmap(32));
    registerWidget("ImgLogo", logo);

    auto* title = static_cast<QLabel*>(add(f.Label1));
    title->setWordWrap(false);
    QFont big("Arial Black");
    big.setPointSizeF(21.75);
    big.setBold(true);
    title->setFont(big);
    // A style sheet, because the colour refresh resets palettes.
    title->setStyleSheet("color: blue;");
    // Where Arial Black is missing, the stand-in may be wider: the title takes the
    // room it needs (up to the Ok button) rather than a smaller size.
    title->setProperty("autoSize", true);
    title->setProperty("ownFont", true);

    add(f.CmdOkAbout);
    add(f.Frame1, true);
    add(f.LblVersion);
    add(f.Label3);
    add(f.Label2);
    add(f.Label5);
    auto* image = new QLabel(widget("Frame1"));
    image->setObjectName("Image1");
    image->setGeometry(24, 88, 128, 86);
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(ProgramPixmap(80));
    registerWidget("Image1", image);

    add(f.Frame2, true);
    add(f.Label9);
    add(f.Label10);
    add(f.Label4);
    add(f.Label11);
    add(f.Frame3, true);
    add(f.Label7);
    add(f.Label6);
    add(f.Label8);
    add(f.Label12);
    OrderFocusChain(this);
}

ArgumentDialog::ArgumentDialog(ArgumentForm& f, ViewHub& hub, QWidget* parent)
    : FormWindow(f, hub, parent,
                 Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                     Qt::MSWindowsFixedSizeDialogHint) {
    add(f.FrmFileInfo, true);
    add(f.Label2);
    add(f.Label6);
    add(f.Label5);
    add(f.CmdOKBackup);
    add(f.CmdCancelBackup);
    add(f.TxtArgumentLine);
    add(f.FrmArgumentInfo, true);
    add(f.Label1);
    // Closing through the frame unloads the dialog.
    onCloseBox = [&f] { Fire(f.onUnload); };
    OrderFocusChain(this);
}

AbuWindow::AbuWindow(AbuForm& f, ViewHub& hub)
    : FormWindow(f, hub, nullptr,
                 Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                     Qt::MSWindowsFixedSizeDialogHint) {
    add(f.PrBMain);
    auto* status = new QStatusBar(this);
    placeWidget(status, f.StBMain);
    status->setSizeGripEnabled(false);
    auto* panel = new StatusPanel(status);
    panel->setGeometry(0, 0, status->width(), status->height());
    panel->setProperty(HeightOnlyProperty, true);
    bind({&f.StBMain}, status, [panel, &f] {
        panel->setStatus(ToQ(f.StBMain.panelText()));
        if (f.StBMain.panelWidth() > 0) panel->resize(f.StBMain.panelWidth(), panel->height());
    });
}

}  // namespace stowaway
