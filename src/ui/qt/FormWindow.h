#pragma once

#include <QWidget>
#include <functional>

#include "ui/qt/FormView.h"

namespace stowaway {

// A small window of its own (about box, argument dialog, automated backup): a fixed
// client area the size of the form, shown and hidden as the form is.
class FormWindow : public QWidget, public FormView {
  public:
    FormWindow(Form& form, ViewHub& hub, QWidget* parent, Qt::WindowFlags flags);

    // What closing through the window frame does to the model; hides it by default.
    std::function<void()> onCloseBox;

  protected:
    void closeEvent(QCloseEvent* event) override;
    Form& form_;
};

// The about box.
class AboutForm;
class AboutBox : public FormWindow {
  public:
    AboutBox(AboutForm& form, ViewHub& hub, QWidget* parent);
};

// The argument-editing dialog, modeless.
class ArgumentForm;
class ArgumentDialog : public FormWindow {
  public:
    ArgumentDialog(ArgumentForm& form, ViewHub& hub, QWidget* parent);
};

// The automated backup's progress window.
class AbuForm;
class AbuWindow : public FormWindow {
  public:
    AbuWindow(AbuForm& form, ViewHub& hub);
};

}  // namespace stowaway
