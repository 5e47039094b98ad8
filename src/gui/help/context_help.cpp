// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/context_help.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTabWidget>
#include <QWidget>

#include "shell/embedded.h"

namespace halyard::gui {

namespace {

constexpr const char* TopicProperty = "helpContext";

// The one main window's help, reached from dialogs that do not know the main window.
std::function<void(int)>& helpHandler() {
    static std::function<void(int)> handler;
    return handler;
}

class ContextHelpKeys : public QObject {
public:
    ContextHelpKeys(TEmbedded& e, QObject* owner) : QObject(owner), e_(e) {}
    ~ContextHelpKeys() override { helpHandler() = nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1) return false;
        const QWidget* focus =
            QApplication::focusWidget() ? QApplication::focusWidget() : static_cast<QWidget*>(watched);
        const int topic = helpTopicOf(focus);
        if (key->modifiers() & Qt::ShiftModifier) {
            if (topic > 0) e_.run([this, topic] { e_.help.ContextPopup(topic); });
        } else if (topic > 0) {
            e_.run([this, topic] { e_.help.Contexthelp(topic); });
        } else {
            e_.run([this] { e_.help.Help3Click(); });
        }
        return true;
    }

private:
    TEmbedded& e_;
};

} // namespace

void setHelpTopic(QWidget* w, int topic) {
    w->setProperty(TopicProperty, topic);
}

int helpTopicOf(const QWidget* w) {
    for (; w; w = w->parentWidget()) {
        if (const int topic = w->property(TopicProperty).toInt(); topic > 0) return topic;
        // The focus on a page control's tab bar belongs to the page shown.
        if (auto* tabs = qobject_cast<const QTabWidget*>(w); tabs && tabs->currentWidget())
            if (const int topic = tabs->currentWidget()->property(TopicProperty).toInt(); topic > 0)
                return topic;
        if (w->isWindow()) break;
    }
    return 0;
}

void requestHelp(int topic) {
    if (helpHandler()) helpHandler()(topic);
}

void installContextHelp(TEmbedded& e, QObject* owner) {
    auto* keys = new ContextHelpKeys(e, owner);
    qApp->installEventFilter(keys);
    helpHandler() = [&e](int topic) { e.run([&e, topic] { e.help.Contexthelp(topic); }); };
}

} // namespace halyard::gui
