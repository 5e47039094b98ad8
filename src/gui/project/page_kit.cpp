#include "page_kit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "binders.h"
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

QLineEdit* lineEdit(Edit& model, const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    bind(edit, model);
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

QPushButton* helpButton(TEmbedded& e, QWidget* parent) {
    return commandButton(
        e, "Help", "Help", [&e] { e.menu.Help3.click(); }, parent);
}

} // namespace halyard::gui
