#include "ui/main/Filters.h"

#include <initializer_list>

#include "startup/App.h"

namespace stowaway {

namespace {

// Returns whether the filter is on now.
bool ApplyFilterBox(CheckBox& box, Button& toggle, std::initializer_list<TextBox*> boxes) {
    const bool on = box.checked() && box.enabled();
    toggle.setEnabled(on);
    for (TextBox* text : boxes) {
        text->setEnabled(on);
        text->setColours(on ? ColourState::Usable : ColourState::Greyed);
    }
    return on;
}

}  // namespace

void IncludeExcludeClicked(App& app) {
    MainForm& f = app.FrmMain;
    if (ApplyFilterBox(f.ChkIncludeExclude, f.CmdIncludeExclude, {&f.TxtDirWildcard}))
        f.ChkDateIncludeExclude.setValue(CheckBox::Unchecked);
}

void DateIncludeExcludeClicked(App& app) {
    MainForm& f = app.FrmMain;
    if (ApplyFilterBox(f.ChkDateIncludeExclude, f.CmdDateIncludeExclude,
                       {&f.TxtDateIncludeExclude, &f.TxtDateDirWildcard}))
        f.ChkIncludeExclude.setValue(CheckBox::Unchecked);
}

void ToggleIncludeMode(App& app) {
    app.IncludeMode = !app.IncludeMode;
    app.FrmMain.CmdIncludeExclude.setCaption(app.IncludeMode ? "Include" : "Exclude");
}

void ToggleAfterMode(App& app) {
    app.AfterMode = !app.AfterMode;
    app.FrmMain.CmdDateIncludeExclude.setCaption(app.AfterMode ? "After" : "Before");
}

}  // namespace stowaway
