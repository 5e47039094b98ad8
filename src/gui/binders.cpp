// SPDX-License-Identifier: GPL-3.0-or-later
#include "binders.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace halyard::gui {

QString qs(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
std::string ss(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

void sizeStatusPanel(QLabel* panel, int width, bool last) {
    if (last) {
        panel->setMinimumWidth(width);
        panel->setMaximumWidth(QWIDGETSIZE_MAX);
    } else {
        panel->setFixedWidth(width);
    }
}

namespace {

// Runs `sync` now and on every model change, for as long as the widget lives.
template <class W> void follow(W* widget, Control& model, std::function<void(W*)> sync) {
    QPointer<W> guard(widget);
    sync(widget);
    model.observe([guard, sync] {
        if (guard) sync(guard.data());
    });
}

// The edit's mask in Qt's notation: placeholders translated, every literal escaped.
QString qtMask(const std::string& mask) {
    if (mask.empty()) return {};
    static const std::string from = "09#LlAaCc", to = "90#AaNnXx";
    QString out;
    for (size_t i = 0; i < mask.size(); ++i) {
        char c = mask[i];
        if (c == '\\' && i + 1 < mask.size()) {
            out += '\\';
            out += QChar(mask[++i]);
        } else if (auto at = from.find(c); at != std::string::npos) {
            out += QChar(to[at]);
        } else {
            out += '\\';
            out += QChar(c);
        }
    }
    return out;
}

// Refills a list widget only when the model's items differ, so the user's scroll position and
// current row survive unrelated model changes.
template <class W, class TextAt>
void syncItems(W* widget, const std::vector<std::string>& model, TextAt textAt) {
    QStringList items;
    for (const auto& i : model)
        items << qs(i);
    QStringList now;
    for (int i = 0; i < widget->count(); ++i)
        now << textAt(i);
    if (now == items) return;
    widget->clear();
    widget->addItems(items);
}

} // namespace

void bindState(QWidget* widget, Control& control) {
    follow<QWidget>(widget, control, [&control](QWidget* w) {
        w->setEnabled(control.enabled());
        w->setVisible(control.visible());
        if (!control.hint().empty()) w->setToolTip(qs(control.hint()));
    });
}

void bind(QCheckBox* box, CheckBox& model) {
    if (!model.caption().empty()) box->setText(qs(model.caption()));
    bindState(box, model);
    follow<QCheckBox>(box, model, [&model](QCheckBox* b) {
        QSignalBlocker block(b);
        b->setChecked(model.checked());
    });
    QObject::connect(box, &QCheckBox::clicked, box, [&model](bool on) { model.setChecked(on); });
}

void bind(QComboBox* combo, ComboBox& model) {
    bindState(combo, model);
    follow<QComboBox>(combo, model, [&model](QComboBox* c) {
        QSignalBlocker block(c);
        syncItems(c, model.items(), [c](int i) { return c->itemText(i); });
        c->setCurrentIndex(model.itemIndex());
    });
    QObject::connect(combo, &QComboBox::activated, combo, [&model](int index) { model.userSelect(index); });
}

void bind(QLineEdit* edit, Edit& model) {
    bindState(edit, model);
    edit->setReadOnly(model.readOnly);
    if (auto* masked = dynamic_cast<MaskEdit*>(&model)) edit->setInputMask(qtMask(masked->mask()));
    follow<QLineEdit>(edit, model, [&model](QLineEdit* e) {
        if (ss(e->text()) == model.text()) return;
        QSignalBlocker block(e);
        e->setText(qs(model.text()));
    });
    QObject::connect(edit, &QLineEdit::textEdited, edit, [&model, edit] { model.setText(ss(edit->text())); });
}

void bind(QSpinBox* spin, UpDown& model) {
    spin->setRange(model.min(), model.max());
    bindState(spin, model);
    follow<QSpinBox>(spin, model, [&model](QSpinBox* s) {
        QSignalBlocker block(s);
        s->setValue(model.position());
    });
    QObject::connect(spin, &QSpinBox::valueChanged, spin, [&model](int v) { model.setPosition(v); });
}

namespace {
// A click on a list is the list's click also when it leaves the current row as it was: on the entry
// that was current already, or beside the entries. A click that moves the row was taken as the row
// changed.
class ListClicks : public QObject {
public:
    ListClicks(QListWidget* list, ListBox& model) : QObject(list), list_(list), model_(model) {
        list->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            rowAtPress_ = list_->currentRow();
        } else if (event->type() == QEvent::MouseButtonRelease && rowAtPress_ != NoPress) {
            const bool same = list_->currentRow() == rowAtPress_;
            rowAtPress_ = NoPress;
            if (same && list_->isEnabled() && model_.onClick) model_.onClick();
        }
        return false;
    }

private:
    static constexpr int NoPress = -2;
    QListWidget* list_;
    ListBox& model_;
    int rowAtPress_ = NoPress;
};
} // namespace

void bind(QListWidget* list, ListBox& model) {
    bindState(list, model);
    follow<QListWidget>(list, model, [&model](QListWidget* l) {
        QSignalBlocker block(l);
        syncItems(l, model.items(), [l](int i) { return l->item(i)->text(); });
        l->setCurrentRow(model.itemIndex());
    });
    // Every selection the user makes counts, by mouse or by the arrow keys; the model's own
    // changes arrive with the signals blocked.
    QObject::connect(list, &QListWidget::currentRowChanged, list, [&model](int row) {
        if (row < 0) return;
        model.setItemIndex(row);
        if (model.onClick) model.onClick();
    });
    new ListClicks(list, model);
}

void bind(QAction* action, MenuItem& model) {
    action->setCheckable(model.checkable || model.radioItem);
    follow<QAction>(action, model, [&model](QAction* a) {
        QSignalBlocker block(a);
        a->setText(qs(model.caption().empty() ? model.hint() : model.caption()));
        if (!model.hint().empty()) a->setToolTip(qs(model.hint()));
        a->setEnabled(model.enabled());
        a->setVisible(model.visible());
        a->setChecked(model.checked());
    });
    QObject::connect(action, &QAction::triggered, action, [&model, action] {
        model.click();
        QSignalBlocker block(action);
        action->setChecked(model.checked()); // the model decides the check mark
    });
}

QGroupBox* radioGroup(RadioGroup& model, QWidget* parent) {
    auto* box = new QGroupBox(qs(model.caption()), parent);
    auto* layout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    for (size_t i = 0; i < model.items.size(); ++i) {
        auto* b = new QRadioButton(qs(model.items[i]), box);
        group->addButton(b, static_cast<int>(i));
        layout->addWidget(b);
    }
    bindState(box, model);
    follow<QGroupBox>(box, model, [&model, group](QGroupBox*) {
        if (auto* b = group->button(model.itemIndex()))
            b->setChecked(true);
        else if (auto* c = group->checkedButton()) {
            group->setExclusive(false);
            c->setChecked(false);
            group->setExclusive(true);
        }
    });
    QObject::connect(group, &QButtonGroup::idClicked, box, [&model](int id) { model.setItemIndex(id); });
    return box;
}

void bindPages(QTabWidget* tabs, Panel& model) {
    follow<QTabWidget>(tabs, model, [&model](QTabWidget* t) {
        t->setVisible(model.visible());
        QSignalBlocker block(t);
        t->setCurrentIndex(model.activePage());
    });
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [&model](int i) { model.setActivePage(i); });
}

} // namespace halyard::gui
