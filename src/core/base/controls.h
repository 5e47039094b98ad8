// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The option model: small controls that hold the state the logic reads and sets, and tell their
// observers (the Qt views) when it changes. Change semantics follow the classic desktop toolkit
// because the project logic depends on them:
//  - a check box runs its click handler whenever its checked state changes, by the user or by code;
//  - a radio group runs its click handler when its index changes;
//  - a combo box runs its change handler only for a user selection, never for an index set by code;
//  - an edit runs its change handler whenever its text changes;
//  - an up-down position change rewrites its edit's text (and so runs the edit's change handler).
#include <functional>
#include <string>
#include <vector>

namespace halyard {

class Control {
public:
    using Observer = std::function<void()>;

    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    bool visible() const { return visible_; }
    void setVisible(bool on);
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    const std::string& hint() const { return hint_; }
    void setHint(const std::string& text);

    // Views subscribe here; they live as long as the model they show.
    void observe(Observer observer) { observers_.push_back(std::move(observer)); }

protected:
    void changed();

private:
    bool enabled_ = true;
    bool visible_ = true;
    std::string caption_;
    std::string hint_;
    std::vector<Observer> observers_;
};

class CheckBox : public Control {
public:
    std::function<void()> onClick;

    bool checked() const { return checked_; }
    void setChecked(bool on);
    void click() { setChecked(!checked_); }

private:
    bool checked_ = false;
};

class RadioGroup : public Control {
public:
    std::function<void()> onClick;

    std::vector<std::string> items;
    int itemIndex() const { return index_; }
    void setItemIndex(int index);
    std::string selectedText() const;

private:
    int index_ = -1;
};

class ComboBox : public Control {
public:
    std::function<void()> onChange; // user selections only

    const std::vector<std::string>& items() const { return items_; }
    void setItems(std::vector<std::string> items);
    void addItem(const std::string& item); // keeps order sorted when `sorted` is set
    void clear();
    bool sorted = false;

    int itemIndex() const { return index_; }
    void setItemIndex(int index); // from code: no change handler
    void userSelect(int index);   // from the user: runs onChange
    const std::string& text() const { return text_; }
    void setText(const std::string& text);

private:
    std::vector<std::string> items_;
    int index_ = -1;
    std::string text_;
};

class Edit : public Control {
public:
    std::function<void()> onChange;

    const std::string& text() const { return text_; }
    virtual void setText(const std::string& text);
    bool readOnly = false;

protected:
    void assign(const std::string& text);

private:
    std::string text_;
};

// An edit with an input mask whose literal characters are kept in its text: with the mask "0000h"
// the text "0200" becomes "0200h". Placeholders are 0 9 # L l A a C c; "\" makes the next
// character a literal; everything else is a literal.
class MaskEdit : public Edit {
public:
    explicit MaskEdit(std::string mask = {}) : mask_(std::move(mask)) {}
    const std::string& mask() const { return mask_; }
    void setText(const std::string& text) override;
    static std::string applyMask(const std::string& mask, const std::string& text);

private:
    std::string mask_;
};

class UpDown : public Control {
public:
    UpDown(int min = 0, int max = 100) : min_(min), max_(max) {}
    void associate(Edit* edit);
    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }
    void setPosition(int position); // clamped; rewrites the associated edit's text

private:
    int min_, max_;
    int position_ = 0;
    Edit* edit_ = nullptr;
};

class ListBox : public Control {
public:
    std::function<void()> onClick;

    const std::vector<std::string>& items() const { return items_; }
    void setItems(std::vector<std::string> items);
    void add(const std::string& item);
    void removeAt(int index);
    void clear();
    int count() const { return static_cast<int>(items_.size()); }
    int itemIndex() const { return index_; }
    void setItemIndex(int index);

private:
    std::vector<std::string> items_;
    int index_ = -1;
};

class MenuItem : public Control {
public:
    std::function<void()> onClick;

    bool checked() const { return checked_; }
    void setChecked(bool on);
    bool radioItem = false;
    bool checkable = false; // shows a check mark (radio items always do)
    int tag = 0;
    void click() {
        if (enabled() && onClick) onClick();
    }

private:
    bool checked_ = false;
};

// A show/hide place of the main window (an options page set, a builder, a summary).
class Panel : public Control {
public:
    Panel() { setVisible(false); }
    int activePage() const { return page_; }
    void setActivePage(int page);
    std::vector<std::string> pages;

private:
    int page_ = 0;
};

class StatusBar : public Control {
public:
    struct Item {
        std::string text;
        int width = 50;
    };
    explicit StatusBar(std::vector<int> widths = {});
    int count() const { return static_cast<int>(panels_.size()); }
    const Item& panel(int i) const { return panels_.at(i); }
    void setText(int i, const std::string& text);
    void setWidth(int i, int width);
    int totalWidth = 800; // the bar's own width, kept current by the view

private:
    std::vector<Item> panels_;
};

// A timer's model: the view starts a real timer while it is enabled and calls tick().
class Timer : public Control {
public:
    explicit Timer(int intervalMs = 1000) : interval(intervalMs) { setEnabled(false); }
    std::function<void()> onTimer;
    int interval;
    void tick() {
        if (enabled() && onTimer) onTimer();
    }
};

} // namespace halyard
