// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/controls.h"

#include <algorithm>
#include <cctype>

#include "base/error.h"

namespace halyard {

namespace {
bool lessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}
} // namespace

void Control::setEnabled(bool on) {
    if (enabled_ == on) return;
    enabled_ = on;
    changed();
}

void Control::setVisible(bool on) {
    if (visible_ == on) return;
    visible_ = on;
    changed();
}

void Control::setCaption(const std::string& text) {
    if (caption_ == text) return;
    caption_ = text;
    changed();
}

void Control::setHint(const std::string& text) {
    if (hint_ == text) return;
    hint_ = text;
    changed();
}

void Control::changed() {
    for (auto& o : observers_)
        o();
}

void CheckBox::setChecked(bool on) {
    if (checked_ == on) return;
    checked_ = on;
    changed();
    if (onClick) onClick();
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(items.size())) throw Error(ListIndexOutOfBounds(index));
    if (index_ == index) return;
    index_ = index;
    changed();
    if (onClick) onClick();
}

std::string RadioGroup::selectedText() const {
    return index_ >= 0 && index_ < static_cast<int>(items.size()) ? items[index_] : std::string();
}

void ComboBox::setItems(std::vector<std::string> items) {
    items_ = std::move(items);
    if (sorted) std::stable_sort(items_.begin(), items_.end(), lessNoCase);
    index_ = -1;
    changed();
}

void ComboBox::addItem(const std::string& item) {
    auto at = sorted ? std::upper_bound(items_.begin(), items_.end(), item, lessNoCase) : items_.end();
    items_.insert(at, item);
    changed();
}

void ComboBox::clear() {
    items_.clear();
    index_ = -1;
    text_.clear();
    changed();
}

void ComboBox::setItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size())) throw Error(ListIndexOutOfBounds(index));
    index_ = index;
    text_ = index >= 0 ? items_[index] : std::string();
    changed();
}

void ComboBox::userSelect(int index) {
    setItemIndex(index);
    if (onChange) onChange();
}

void ComboBox::setText(const std::string& text) {
    text_ = text;
    auto it = std::find(items_.begin(), items_.end(), text);
    index_ = it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
    changed();
}

void Edit::assign(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    changed();
    if (onChange) onChange();
}

void Edit::setText(const std::string& text) {
    assign(text);
}

std::string MaskEdit::applyMask(const std::string& mask, const std::string& text) {
    if (mask.empty()) return text;
    static const std::string placeholders = "09#LlAaCc";
    std::string out;
    size_t in = 0;
    for (size_t m = 0; m < mask.size(); ++m) {
        char c = mask[m];
        bool literal = placeholders.find(c) == std::string::npos;
        if (c == '\\' && m + 1 < mask.size()) {
            c = mask[++m];
            literal = true;
        }
        if (literal) {
            // The literal may already be in the text (the text read back from a project file).
            if (in < text.size() && text[in] == c) ++in;
            out += c;
        } else {
            out += in < text.size() ? text[in++] : ' ';
        }
    }
    return out;
}

void MaskEdit::setText(const std::string& text) {
    assign(applyMask(mask_, text));
}

void UpDown::associate(Edit* edit) {
    edit_ = edit;
    if (edit_) edit_->setText(std::to_string(position_));
}

void UpDown::setPosition(int position) {
    position = std::clamp(position, min_, max_);
    const bool moved = position != position_;
    position_ = position;
    if (moved) changed();
    if (edit_) edit_->setText(std::to_string(position_));
}

void ListBox::setItems(std::vector<std::string> items) {
    items_ = std::move(items);
    index_ = -1;
    changed();
}

void ListBox::add(const std::string& item) {
    items_.push_back(item);
    changed();
}

void ListBox::removeAt(int index) {
    if (index < 0 || index >= count()) throw Error(ListIndexOutOfBounds(index));
    items_.erase(items_.begin() + index);
    if (index_ >= count()) index_ = count() - 1;
    changed();
}

void ListBox::clear() {
    items_.clear();
    index_ = -1;
    changed();
}

void ListBox::setItemIndex(int index) {
    if (index < -1 || index >= count()) throw Error(ListIndexOutOfBounds(index));
    index_ = index;
    changed();
}

void MenuItem::setChecked(bool on) {
    if (checked_ == on) return;
    checked_ = on;
    changed();
}

void Panel::setActivePage(int page) {
    if (page_ == page) return;
    page_ = page;
    changed();
}

StatusBar::StatusBar(std::vector<int> widths) {
    for (int w : widths)
        panels_.push_back({"", w});
}

void StatusBar::setText(int i, const std::string& text) {
    if (panels_.at(i).text == text) return;
    panels_.at(i).text = text;
    changed();
}

void StatusBar::setWidth(int i, int width) {
    if (panels_.at(i).width == width) return;
    panels_.at(i).width = width;
    changed();
}

} // namespace halyard
