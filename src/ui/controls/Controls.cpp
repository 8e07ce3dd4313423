#include "ui/controls/Controls.h"

#include <algorithm>

#include "platform/Text.h"

namespace stowaway {

int ListBox::addItem(std::string text) {
    std::size_t at = items_.size();
    if (sorted_) {
        auto it = std::upper_bound(
            items_.begin(), items_.end(), text,
            [](const std::string& a, const std::string& b) { return CompareIgnoreCase(a, b) < 0; });
        at = static_cast<std::size_t>(it - items_.begin());
    }
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(text));
    selected_.insert(selected_.begin() + static_cast<std::ptrdiff_t>(at), false);
    if (listIndex_ >= static_cast<int>(at)) ++listIndex_;
    touch();
    return static_cast<int>(at);
}

void ListBox::removeItem(int index) {
    if (index < 0 || index >= count()) return;
    items_.erase(items_.begin() + index);
    selected_.erase(selected_.begin() + index);
    if (listIndex_ == index)
        listIndex_ = -1;
    else if (listIndex_ > index)
        --listIndex_;
    touch();
}

void ListBox::clear() {
    if (items_.empty() && listIndex_ == -1) return;
    items_.clear();
    selected_.clear();
    listIndex_ = -1;
    touch();
}

int ListBox::indexOf(const std::string& text) const {
    auto it = std::find(items_.begin(), items_.end(), text);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void ListBox::setSelected(int index, bool selected) {
    if (index < 0 || index >= count()) return;
    if (selected_[static_cast<std::size_t>(index)] == selected) return;
    selected_[static_cast<std::size_t>(index)] = selected;
    if (selected) listIndex_ = index;
    touch();
}

int ListBox::selectedCount() const {
    return static_cast<int>(std::count(selected_.begin(), selected_.end(), true));
}

void ListBox::click(int index) {
    for (int i = 0; i < count(); ++i) setSelected(i, i == index);
    listIndex_ = index;
    touch();
    Fire(onClick);
}

void ComboBox::addItem(std::string text) {
    items_.push_back(std::move(text));
    touch();
}

void ComboBox::clear() {
    items_.clear();
    listIndex_ = -1;
    touch();
}

void ComboBox::setListIndex(int index) {
    if (index < -1 || index >= count()) return;
    listIndex_ = index;
    touch();
    Fire(onClick);
}

void Slider::setValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_) return;
    value_ = value;
    touch();
    Fire(onChange);
}

void ProgressBar::setValue(double value) {
    set(value_, std::clamp(value, 0.0, 100.0));
}

void FileList::show(std::string path, std::vector<std::string> names) {
    path_ = std::move(path);
    items_ = std::move(names);
    selected_.assign(items_.size(), false);
    listIndex_ = -1;
    touch();
}

void FileList::setSelected(int index, bool selected) {
    if (index < 0 || index >= count()) return;
    selected_[static_cast<std::size_t>(index)] = selected;
    if (selected) listIndex_ = index;
    touch();
}

std::string FileList::fileName() const {
    return listIndex_ >= 0 ? items_[static_cast<std::size_t>(listIndex_)] : std::string();
}

}  // namespace stowaway
