#pragma once

#include <string>
#include <vector>

#include "ui/controls/Control.h"

namespace stowaway {

class Label : public Control {
  public:
    Label(std::string name, std::string caption, Place place = {})
        : Control(std::move(name), place), caption_(std::move(caption)) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption) { set(caption_, std::move(caption)); }

  private:
    std::string caption_;
};

// A frame groups controls under a caption.
using Frame = Label;

// A push button, with a caption or a picture.
class Button : public Control {
  public:
    Button(std::string name, std::string caption, Place place = {}, std::string picture = {})
        : Control(std::move(name), place),
          caption_(std::move(caption)),
          picture_(std::move(picture)) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption) { set(caption_, std::move(caption)); }
    const std::string& picture() const { return picture_; }
    // A click; a disabled button ignores it.
    void click() {
        if (enabled()) Fire(onClick);
    }
    Handler onClick;
    Handler onLostFocus;
    void loseFocus() { Fire(onLostFocus); }

  private:
    std::string caption_;
    std::string picture_;
};

// A check box with three states. Setting the value from code runs the click
// behaviour, as a click by the user does.
class CheckBox : public Control {
  public:
    enum Value : short { Unchecked = 0, Checked = 1, Grayed = 2 };

    CheckBox(std::string name, std::string caption, short value, Place place = {})
        : Control(std::move(name), place), caption_(std::move(caption)), value_(value) {}
    const std::string& caption() const { return caption_; }
    short value() const { return value_; }
    bool checked() const { return value_ == Checked; }
    void setValue(short value) {
        if (value == value_) return;
        value_ = value;
        touch();
        Fire(onClick);
    }
    // The user's click: ticks a clear box and clears a ticked or grey one.
    void click() {
        if (enabled()) setValue(value_ == Unchecked ? Checked : Unchecked);
    }
    void mouseMove() { Fire(onMouseMove); }
    Handler onClick;
    Handler onMouseMove;

  private:
    std::string caption_;
    short value_;
};

// A one-line text box. The change handler runs on every change of the text,
// typed or set by code.
class TextBox : public Control {
  public:
    TextBox(std::string name, std::string text, Place place = {})
        : Control(std::move(name), place), text_(std::move(text)) {}
    const std::string& text() const { return text_; }
    void setText(std::string text) {
        if (text == text_) return;
        text_ = std::move(text);
        touch();
        Fire(onChange);
    }
    void doubleClick() { Fire(onDoubleClick); }
    Handler onChange;
    Handler onDoubleClick;

  private:
    std::string text_;
};

// A list box, sorted without regard to case or kept in the order of adding, with
// multiple selection and a horizontal scroll extent.
class ListBox : public Control {
  public:
    ListBox(std::string name, bool sorted, Place place = {})
        : Control(std::move(name), place), sorted_(sorted) {}

    bool sorted() const { return sorted_; }
    int count() const { return static_cast<int>(items_.size()); }
    const std::string& item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    const std::vector<std::string>& items() const { return items_; }
    // Adds an entry at its sorted place (or last) and returns its index.
    int addItem(std::string text);
    void removeItem(int index);
    void clear();
    // Index of the first entry exactly equal to the text, or -1.
    int indexOf(const std::string& text) const;

    bool selected(int index) const { return selected_.at(static_cast<std::size_t>(index)); }
    void setSelected(int index, bool selected);
    int selectedCount() const;
    int listIndex() const { return listIndex_; }
    // The user picks one entry (a plain click); every other selection is cleared.
    void click(int index);
    void doubleClick() { Fire(onDoubleClick); }

    int horizontalExtent() const { return horizontalExtent_; }
    void setHorizontalExtent(int pixels) { set(horizontalExtent_, pixels); }

    Handler onClick;
    Handler onDoubleClick;

  private:
    bool sorted_;
    std::vector<std::string> items_;
    std::vector<bool> selected_;
    int listIndex_ = -1;
    int horizontalExtent_ = 0;
};

// A drop-down list to choose from (no typing). Choosing an entry from code raises
// the selection notification at once, as a choice by the user does.
class ComboBox : public Control {
  public:
    ComboBox(std::string name, Place place = {}) : Control(std::move(name), place) {}
    int count() const { return static_cast<int>(items_.size()); }
    const std::string& item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    const std::vector<std::string>& items() const { return items_; }
    void addItem(std::string text);
    void clear();
    int listIndex() const { return listIndex_; }
    void setListIndex(int index);
    std::string text() const {
        return listIndex_ >= 0 ? items_[static_cast<std::size_t>(listIndex_)] : "";
    }
    Handler onClick;

  private:
    std::vector<std::string> items_;
    int listIndex_ = -1;
};

// A horizontal slider; its change handler runs whenever the position changes.
class Slider : public Control {
  public:
    Slider(std::string name, int min, int max, int value, Place place = {})
        : Control(std::move(name), place), min_(min), max_(max), value_(value) {}
    int min() const { return min_; }
    int max() const { return max_; }
    int value() const { return value_; }
    int smallChange = 1;
    int largeChange = 5;
    // Positions outside the range are taken to its nearest end.
    void setValue(int value);
    Handler onChange;

  private:
    int min_, max_, value_;
};

class ProgressBar : public Control {
  public:
    ProgressBar(std::string name, Place place = {}) : Control(std::move(name), place) {}
    double value() const { return value_; }
    void setValue(double value);

  private:
    double value_ = 0;
};

// The status bar; its first panel carries the status text.
class StatusBar : public Control {
  public:
    StatusBar(std::string name, Place place = {}) : Control(std::move(name), place) {}
    const std::string& panelText() const { return panelText_; }
    void setPanelText(std::string text) { set(panelText_, std::move(text)); }
    int panelWidth() const { return panelWidth_; }
    void setPanelWidth(int pixels) { set(panelWidth_, pixels); }

  private:
    std::string panelText_;
    int panelWidth_ = 0;
};

// A tab control. The handler gets the tab shown before the user's click.
class TabStrip : public Control {
  public:
    TabStrip(std::string name, std::vector<std::string> captions, Place place = {})
        : Control(std::move(name), place), captions_(std::move(captions)) {}
    const std::vector<std::string>& captions() const { return captions_; }
    int tab() const { return tab_; }
    // Code shows a tab; no handler runs.
    void setTab(int tab) { set(tab_, tab); }
    // The user clicks a tab.
    void click(int tab) {
        int previous = tab_;
        setTab(tab);
        if (onClick) onClick(previous);
    }
    std::function<void(int previousTab)> onClick;

  private:
    std::vector<std::string> captions_;
    int tab_ = 0;
};

// The drive list: the mounted file systems.
class DriveList : public Control {
  public:
    DriveList(std::string name, Place place = {}) : Control(std::move(name), place) {}
    const std::vector<std::string>& drives() const { return drives_; }
    void setDrives(std::vector<std::string> drives) { set(drives_, std::move(drives)); }
    const std::string& drive() const { return drive_; }
    void setDrive(std::string drive) {
        if (drive == drive_) return;
        drive_ = std::move(drive);
        touch();
        Fire(onChange);
    }
    Handler onChange;

  private:
    std::vector<std::string> drives_;
    std::string drive_;
};

// The folder tree: its path is the folder open in it.
class DirList : public Control {
  public:
    DirList(std::string name, Place place = {}) : Control(std::move(name), place) {}
    const std::string& path() const { return path_; }
    void setPath(std::string path) {
        if (path == path_) return;
        path_ = std::move(path);
        touch();
        Fire(onChange);
    }
    // Re-reading the tree (the view lists the folders itself).
    void refresh() { touch(); }
    Handler onChange;

  private:
    std::string path_;
};

// The file list of one folder, with multiple selection.
class FileList : public Control {
  public:
    FileList(std::string name, Place place = {}) : Control(std::move(name), place) {}
    const std::string& path() const { return path_; }
    const std::string& pattern() const { return pattern_; }
    void setPattern(std::string pattern) { set(pattern_, std::move(pattern)); }
    // Shows another folder's files; the names come from the caller's listing.
    void show(std::string path, std::vector<std::string> names);
    const std::vector<std::string>& items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    bool selected(int index) const { return selected_.at(static_cast<std::size_t>(index)); }
    void setSelected(int index, bool selected);
    // The current file name: the entry chosen last, "" when none.
    std::string fileName() const;
    void doubleClick() { Fire(onDoubleClick); }
    Handler onDoubleClick;

  private:
    std::string path_;
    std::string pattern_ = "*";
    std::vector<std::string> items_;
    std::vector<bool> selected_;
    int listIndex_ = -1;
};

// A menu item; separators carry no caption and do nothing.
class MenuItem : public Control {
  public:
    MenuItem(std::string name, std::string caption, std::string shortcut = {})
        : Control(std::move(name)), caption_(std::move(caption)), shortcut_(std::move(shortcut)) {}
    const std::string& caption() const { return caption_; }
    const std::string& shortcut() const { return shortcut_; }
    bool separator() const { return caption_ == "-"; }
    void click() {
        if (enabled()) Fire(onClick);
    }
    Handler onClick;

  private:
    std::string caption_;
    std::string shortcut_;
};

// A window of its own.
class Form : public Control {
  public:
    Form(std::string name, std::string caption, Place place = {})
        : Control(std::move(name), place), caption_(std::move(caption)) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption) { set(caption_, std::move(caption)); }
    void show() { setVisible(true); }
    void hide() { setVisible(false); }

  private:
    std::string caption_;
};

}  // namespace stowaway
