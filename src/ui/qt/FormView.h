#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/controls/Controls.h"

class QAbstractButton;

namespace stowaway {

class FormView;

// All open views. A user's input runs against the models, then every view brings
// across what changed, since a command may touch any window.
class ViewHub {
  public:
    void add(FormView* view);
    void remove(FormView* view);
    void refreshAll();
    // True while views are being set from the models: widget signals raised then
    // must not go back to the models.
    bool updating() const { return updating_ > 0; }
    // Runs one user input against the models (not while updating), then refreshes.
    void forward(const std::function<void()>& input);

    // The window that owns dialogs: the main window once it exists.
    QWidget* owner() const { return owner_; }
    void setOwner(QWidget* owner) { owner_ = owner; }

  private:
    std::vector<FormView*> views_;
    int updating_ = 0;
    QPointer<QWidget> owner_;
};

QString ToQ(const std::string& text);
std::string FromQ(const QString& text);
// A caption without its mnemonic markers ("Br&owse" -> "Browse", "&&" -> "&").
QString PlainCaption(const QString& caption);

// Gives the windows one font: the system's, made smaller half a point at a time
// until every caption of every one of them fits its place (the Linux fonts are
// wider than the ones the places were laid out for). Widgets with a font of their
// own keep it. Returns the point size chosen.
double ApplyWindowFont(const std::vector<QWidget*>& windows);
// The widest text a widget will hold, measured with its caption: set as the
// property "widestText" ("Exclude" on the button showing "Include", a long date).
extern const char* const WidestTextProperty;
// A label of which only the height must fit (a status panel): the property "heightOnly".
extern const char* const HeightOnlyProperty;
// Frames drawn with the caption on the frame's top line, so that controls placed
// just below the caption clear it.
extern const char* const FrameStyleSheet;

// Whether a label's, button's or check box's caption fits its widget in its font.
bool CaptionFits(const QWidget* widget);

// One window: widgets made from the form model's controls, each with the code
// that brings the model's state across when the control's revision moves on.
class FormView {
  public:
    explicit FormView(ViewHub& hub) : hub_(hub) { hub_.add(this); }
    virtual ~FormView() { hub_.remove(this); }
    FormView(const FormView&) = delete;
    FormView& operator=(const FormView&) = delete;

    // Brings across every control whose revision changed since the last refresh.
    void refresh();
    ViewHub& hub() { return hub_; }

    // Widgets by the control's name.
    QWidget* widget(const std::string& name) const;

  protected:
    // Containers: "" is the client area; frames and tab pages register themselves.
    // Places inside a tab page are given from the tab control's top-left, so the
    // page, which starts below the 20-pixel strip, is registered with that offset.
    void setClientArea(QWidget* client) { containers_[""] = {client, 0}; }
    void addContainer(const std::string& name, QWidget* widget, int yOffset = 0) {
        containers_[name] = {widget, yOffset};
    }
    QWidget* containerOf(const Place& place) const;
    void placeWidget(QWidget* widget, const Control& control);

    // Builders: a widget for the control at its place, kept in step with it and
    // forwarding what the user does.
    QWidget* add(Label& label, bool frame = false);
    QWidget* add(Button& button);
    QWidget* add(CheckBox& box);
    QWidget* add(TextBox& box);
    QWidget* add(ListBox& list);
    QWidget* add(ComboBox& combo);
    QWidget* add(Slider& slider);
    QWidget* add(ProgressBar& bar);

    // Generic binding: `apply` runs on the first refresh and whenever the revision
    // of any of the models moves on. Enabled, visible, tooltip and colours of the
    // first model are applied before it.
    void bind(std::vector<const Control*> models, QWidget* widget, std::function<void()> apply,
              bool common = true);
    void registerWidget(const std::string& name, QWidget* widget) { widgets_[name] = widget; }
    void forward(const std::function<void()>& input) { hub_.forward(input); }
    bool updating() const { return hub_.updating(); }

    // Applies a caption (a label sized to its text grows with it).
    static void SetCaption(QWidget* widget, const std::string& caption);
    static void ApplyColours(QWidget* widget, ColourState colours);

  private:
    struct Binding {
        std::vector<const Control*> models;
        QPointer<QWidget> widget;
        std::function<void()> apply;
        bool common;
        std::uint64_t seen = ~std::uint64_t{0};
    };
    ViewHub& hub_;
    std::vector<Binding> bindings_;
    std::map<std::string, std::pair<QWidget*, int>> containers_;
    std::map<std::string, QWidget*> widgets_;
};

}  // namespace stowaway
