// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TCodeEd: one editor window's model. It holds the document (UTF-16 units, '\n' between lines), the
// selection, the modified flag, the fonts and the six status panels, and runs the window's own
// commands. The Qt view mirrors it: the user's edits and selection moves come in through
// `userEdit` / `userSelect`; the model's own changes go out through `observe`.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/controls.h"
#include "base/ports.h"
#include "editor/rtf_reader.h"

namespace halyard {

class DosDevices;
class Editors;

// The find and replace dialogs' "Match case" and "Whole word".
struct SearchOptions {
    bool matchCase = false;
    bool wholeWord = false;
};

class TCodeEd {
public:
    static constexpr size_t MaxLength = 2'000'000;
    static constexpr const char* DefaultCaption = "Code Editor";
    // What the view must redraw.
    enum class Change { Document, Edit, Selection, Font, Caption, Modified, Closed };

    TCodeEd(Editors& owner, Ui& ui, DosDevices& dd);
    TCodeEd(const TCodeEd&) = delete;
    TCodeEd& operator=(const TCodeEd&) = delete;

    std::string FileName;
    halyard::StatusBar StatusBar{{120, 50, 130, 30, 50, 50}};
    FontSpec FontDialog1{"MS Sans Serif", 8};

    const std::string& caption() const { return caption_; }
    const std::u16string& text() const { return text_; }
    // The formatting of a Rich Text Format file, for the view to draw; none for plain text.
    const std::optional<RtfDocument>& richText() const { return rich_; }
    const FontSpec& font() const { return font_; }
    bool modified() const { return modified_; }
    // A window that only shows its file: nothing changes its text, and Save asks for a new name.
    bool readOnly() const { return readOnly_; }
    // The caption says so ("passwd (read-only)"); the view follows it with the caption.
    void setReadOnly(bool on);
    size_t selStart() const { return selStart_; }
    size_t selLength() const { return selLength_; }
    bool closed() const { return closed_; }
    // Expires when the window is freed. A dialog's event loop lets timers run, and a build they
    // start closes every editor window: a command that asks the user something checks this before
    // it touches its window again.
    std::weak_ptr<void> lifetime() const { return alive_; }
    int lineCount() const { return text_.empty() ? 0 : static_cast<int>(lineStarts_.size()); }
    size_t lineOf(size_t offset) const;
    size_t lineStart(size_t line) const { return lineStarts_.at(line); }

    // The last model-made edit (Change::Edit): `removed` units at `position` became `inserted`.
    struct EditInfo {
        size_t position = 0, removed = 0;
        std::u16string inserted;
    };
    const EditInfo& lastEdit() const { return lastEdit_; }

    void observe(std::function<void(Change)> observer) { observers_.push_back(std::move(observer)); }

    // From the view: the user changed the text or moved the selection (nothing is echoed back).
    void userEdit(size_t position, size_t removed, std::u16string_view inserted);
    void userSelect(size_t start, size_t length);
    // From the view: Undo or Redo brought the text back to what was last loaded or saved.
    void userReturnedToSaved() { setModified(false); }

    // Commands.
    // Loads a file into a window that was just made; a name shorter than 2 characters closes it.
    void LoadFile(const std::string& name, int caret);
    // Writes the window's text. When the file changed on disk since this window read or wrote it,
    // asks first: overwrite (Yes), load the file again instead (No) or Cancel. False only when the
    // user cancelled that question and nothing was written.
    bool Save1Click();
    void SaveAs1Click();
    // The file on disk is no longer what this window last read or wrote (a file that is gone does
    // not count: writing it loses nothing).
    bool changedOnDisk() const;
    // Reads the file again into the window, the caret kept where the text still reaches.
    void ReloadFromDisk();
    // Asks "Save changes to %s?" when modified; false when the window must stay open.
    bool FormCloseQuery();
    // Close File and the frame's close button: asks first; false when the window stayed open.
    bool Close1Click();
    using SearchOptions = halyard::SearchOptions;
    // Forward from the end of the selection, without wrapping; silent when nothing is found.
    void Find(std::u16string_view searchText, SearchOptions options = {});
    void FindError1Click() { Find(u"error["); }
    // Replaces the first occurrence in the whole text, whatever the caret.
    void ReplaceDialogReplace(std::u16string_view findText, std::u16string_view replaceText,
                              SearchOptions options = {true, false});
    // Replaces every occurrence in the whole text as one edit (one undo step) and says how many;
    // returns that number.
    size_t ReplaceAllClick(std::u16string_view findText, std::u16string_view replaceText,
                           SearchOptions options);
    void SelectAll1Click() { select(0, text_.size()); }
    // Caret to the start of a 1-based line, held to the lines there are.
    void GoToLine(int line);
    void Setfont();
    void UpdateStatus();

    // Model-made changes, shown by the view.
    void select(size_t start, size_t length);
    void replaceSelection(std::u16string_view replacement);
    void setText(std::u16string text); // a whole new document, not counted as an edit

private:
    friend class Editors;
    void notify(Change change);
    void setCaption(const std::string& caption);
    void setModified(bool modified);
    void applyEdit(size_t position, size_t removed, std::u16string_view inserted);
    size_t findFrom(size_t from, std::u16string_view what, SearchOptions options) const;
    void rebuildLines();
    // Which file the name stands for and its size: two differ when it was rewritten or replaced.
    struct DiskStamp {
        std::uintmax_t device = 0, inode = 0, size = 0;
        std::filesystem::file_time_type written{};
        bool operator==(const DiskStamp&) const = default;
    };
    std::optional<DiskStamp> diskNow() const;
    // The file's bytes as the window's text, unmodified, as it is on disk now.
    void showBytes(const std::string& bytes);

    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    Editors& owner_;
    Ui& ui_;
    DosDevices& dd_;
    std::string caption_ = DefaultCaption;
    std::u16string text_;
    std::optional<RtfDocument> rich_;
    std::vector<size_t> lineStarts_{0}; // offset of the first character of every line
    FontSpec font_{"Arial", 10, true};
    bool modified_ = false;
    bool closed_ = false;
    bool readOnly_ = false;
    size_t selStart_ = 0, selLength_ = 0;
    std::optional<DiskStamp> disk_; // as last read or written here
    EditInfo lastEdit_;
    std::vector<std::function<void(Change)>> observers_;
};

// The status panels' texts for the caret on `line` at column `col` (both 0-based).
std::string StatusPosition(size_t line, size_t col);
// Panel 2: the file part of a compiler message line; panel 4: its number part.
std::u16string StatusFilePart(std::u16string_view line);
int StatusNumberPart(std::u16string_view line);

} // namespace halyard
