// SPDX-License-Identifier: GPL-3.0-or-later
#include "page_kit.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "binders.h"
#include "help/context_help.h"
#include "shell/embedded.h"

namespace halyard::gui {

void follow(QWidget* widget, Control& model, std::function<void()> sync) {
    QPointer<QWidget> guard(widget);
    sync();
    model.observe([guard, sync] {
        if (guard) sync();
    });
}

QCheckBox* checkBox(CheckBox& model, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    box->setObjectName(name);
    bind(box, model);
    return box;
}

namespace {

// Leaving a masked edit with an unfinished value puts the last full value back on screen.
class RevertUnfinished : public QObject {
public:
    RevertUnfinished(QLineEdit* edit, Edit& model) : QObject(edit), edit_(edit), model_(model) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut && !edit_->hasAcceptableInput())
            edit_->setText(qs(model_.text()));
        return false;
    }

private:
    QLineEdit* edit_;
    Edit& model_;
};

// A masked edit hands every keystroke over with its unfilled places dropped ("03h" for "03  h"),
// which the model's mask would spread into a wrong value. Only a value that fills the mask reaches
// the model, so heap, stack and fill values always have their four characters before the "h".
void takeOnlyFullValues(QLineEdit* edit, Edit& model) {
    QObject::disconnect(edit, &QLineEdit::textEdited, nullptr, nullptr);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [&model, edit] {
        if (edit->hasAcceptableInput()) model.setText(ss(edit->text()));
    });
    edit->installEventFilter(new RevertUnfinished(edit, model));
}

} // namespace

QLineEdit* lineEdit(Edit& model, const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    bind(edit, model);
    if (dynamic_cast<MaskEdit*>(&model)) takeOnlyFullValues(edit, model);
    return edit;
}

QLabel* label(Control& model, const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    bindState(l, model);
    follow(l, model, [l, &model] { l->setText(qs(model.caption())); });
    return l;
}

QPushButton* button(Control& model, const char* name, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    bindState(b, model);
    follow(b, model, [b, &model] { b->setText(qs(model.caption())); });
    return b;
}

QGroupBox* checkGroup(const QString& title, std::initializer_list<std::pair<CheckBox*, const char*>> boxes,
                      QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    for (auto [model, name] : boxes)
        layout->addWidget(checkBox(*model, name, group));
    return group;
}

QPushButton* commandButton(TEmbedded& e, const QString& caption, const char* name,
                           std::function<void()> handler, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    QObject::connect(b, &QPushButton::clicked, b, [&e, handler] { e.run(handler); });
    return b;
}

QPushButton* helpButton(TEmbedded& e, QWidget* page, int topic) {
    setHelpTopic(page, topic);
    return commandButton(
        e, "Help", "Help", [&e, topic] { e.help.Contexthelp(topic); }, page);
}

} // namespace halyard::gui
