// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keyboard shortcuts, one table: each command takes the platform's standard key sequences,
// except those another command (or another part of Halyard) claims, so no key does two things.
#include <QKeySequence>
#include <QList>
#include <vector>

class QAction;

namespace halyard::gui {

enum class Shortcut {
    Open,
    New,
    Save,
    SaveAs,
    SaveAll,
    Print,
    Find,
    FindNext,
    Replace,
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    SelectAll,
    CloseWindow,
    NextWindow,
    PreviousWindow,
    GoToLine,
    FindInFiles,
    GoToDefinition,
    FindReferences,
    Back,
    Complete,
    BuildAll,
    Make,
};

struct ShortcutRow {
    Shortcut command;
    const char* name; // as the README lists it
    QKeySequence::StandardKey standard;
    const char* own;           // our own keys ("F9;Ctrl+B"), claimed before any standard one; "" for none
    const char* fallback = ""; // for a platform that has no free standard key for the command
};

const std::vector<ShortcutRow>& shortcutTable();
// Keys reserved for commands outside this table (help, the build panel's error walk).
QList<QKeySequence> reservedKeys();
// The keys of a command on this platform, first the one menus show.
QList<QKeySequence> shortcutKeys(Shortcut command);
void setShortcut(QAction* action, Shortcut command);

} // namespace halyard::gui
