// SPDX-License-Identifier: GPL-3.0-or-later
#include "shortcuts.h"

#include <QAction>
#include <map>

namespace halyard::gui {

const std::vector<ShortcutRow>& shortcutTable() {
    static const std::vector<ShortcutRow> table = {
        {Shortcut::GoToLine, "Go to Line", QKeySequence::UnknownKey, "Ctrl+G"},
        {Shortcut::FindInFiles, "Find in Files", QKeySequence::UnknownKey, "Ctrl+Shift+F"},
        {Shortcut::GoToDefinition, "Go to Definition", QKeySequence::UnknownKey, "F12"},
        {Shortcut::FindReferences, "Find References", QKeySequence::UnknownKey, "Shift+F12"},
        {Shortcut::Back, "Back", QKeySequence::UnknownKey, "Alt+Left"},
        {Shortcut::Complete, "Complete Name", QKeySequence::UnknownKey, "Ctrl+Space"},
        {Shortcut::SaveAll, "Save All", QKeySequence::UnknownKey, "Ctrl+Shift+S"},
        // The build keys work from every window, editor windows included.
        {Shortcut::BuildAll, "Build All", QKeySequence::UnknownKey, "F9;Ctrl+B"},
        {Shortcut::Make, "Make", QKeySequence::UnknownKey, "Ctrl+F9"},
        {Shortcut::Open, "Open File", QKeySequence::Open, ""},
        {Shortcut::New, "New File", QKeySequence::New, ""},
        {Shortcut::Save, "Save File", QKeySequence::Save, ""},
        {Shortcut::SaveAs, "Save File As", QKeySequence::SaveAs, ""},
        {Shortcut::Print, "Print", QKeySequence::Print, ""},
        {Shortcut::Find, "Find", QKeySequence::Find, ""},
        {Shortcut::FindNext, "Find Next", QKeySequence::FindNext, ""},
        {Shortcut::Replace, "Replace", QKeySequence::Replace, "", "Ctrl+H"},
        {Shortcut::Undo, "Undo", QKeySequence::Undo, ""},
        {Shortcut::Redo, "Redo", QKeySequence::Redo, ""},
        {Shortcut::Cut, "Cut", QKeySequence::Cut, ""},
        {Shortcut::Copy, "Copy", QKeySequence::Copy, ""},
        {Shortcut::Paste, "Paste", QKeySequence::Paste, ""},
        {Shortcut::SelectAll, "Select All", QKeySequence::SelectAll, ""},
        {Shortcut::CloseWindow, "Close File", QKeySequence::Close, ""},
        // The MDI area itself takes these to the next and previous editor window.
        {Shortcut::NextWindow, "Next editor window", QKeySequence::NextChild, ""},
        {Shortcut::PreviousWindow, "Previous editor window", QKeySequence::PreviousChild, ""},
    };
    return table;
}

QList<QKeySequence> reservedKeys() {
    return {QKeySequence(Qt::Key_F1), QKeySequence(Qt::Key_F4), QKeySequence(Qt::SHIFT | Qt::Key_F4)};
}

namespace {
// Some platforms give one key to two standard commands (Find Next also takes Ctrl+G, which is
// Go to Line here): a key goes to the first row that asks for it, our own keys before all.
std::map<Shortcut, QList<QKeySequence>> resolve() {
    std::map<Shortcut, QList<QKeySequence>> out;
    QList<QKeySequence> taken = reservedKeys();
    for (const ShortcutRow& row : shortcutTable())
        for (const QString& own : QString(row.own).split(';', Qt::SkipEmptyParts)) {
            out[row.command] << QKeySequence(own);
            taken << QKeySequence(own);
        }
    for (const ShortcutRow& row : shortcutTable()) {
        if (*row.own) continue;
        QList<QKeySequence> keys;
        for (const QKeySequence& key : QKeySequence::keyBindings(row.standard))
            if (!taken.contains(key)) keys << key;
        if (keys.isEmpty() && *row.fallback && !taken.contains(QKeySequence(row.fallback)))
            keys << QKeySequence(row.fallback);
        out[row.command] = keys;
        taken << keys;
    }
    return out;
}
} // namespace

QList<QKeySequence> shortcutKeys(Shortcut command) {
    const auto all = resolve();
    auto it = all.find(command);
    return it == all.end() ? QList<QKeySequence>{} : it->second;
}

void setShortcut(QAction* action, Shortcut command) {
    if (action) action->setShortcuts(shortcutKeys(command));
}

} // namespace halyard::gui
