// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/code_ed.h"

#include <algorithm>
#include <cstdio>

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "editor/code_text.h"
#include "editor/editors.h"

namespace halyard {

namespace {
// A compiler line is short; a file of one huge line must not make every caret move copy it.
constexpr size_t FilePartLimit = 255;
} // namespace

TCodeEd::TCodeEd(Editors& owner, Ui& ui, DosDevices& dd) : owner_(owner), ui_(ui), dd_(dd) {
    StatusBar.setText(0, "Position");
    StatusBar.setText(1, "lines");
}

void TCodeEd::notify(Change change) {
    for (auto& o : observers_)
        o(change);
}

void TCodeEd::setCaption(const std::string& caption) {
    caption_ = caption;
    notify(Change::Caption);
}

void TCodeEd::setModified(bool modified) {
    if (modified == modified_) return;
    modified_ = modified;
    notify(Change::Modified);
}

size_t TCodeEd::lineOf(size_t offset) const {
    return static_cast<size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                               lineStarts_.begin()) -
           1;
}

void TCodeEd::rebuildLines() {
    lineStarts_.assign(1, 0);
    for (size_t i = 0; i < text_.size(); ++i)
        if (text_[i] == u'\n') lineStarts_.push_back(i + 1);
}

// Keeps the line index current in proportion to the lines, never by rescanning the text, so the
// status line stays quick at the end of a long document.
void TCodeEd::applyEdit(size_t position, size_t removed, std::u16string_view inserted) {
    position = std::min(position, text_.size());
    removed = std::min(removed, text_.size() - position);
    auto first = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), position);
    auto last = std::upper_bound(first, lineStarts_.end(), position + removed);
    auto at = lineStarts_.erase(first, last);
    const size_t index = static_cast<size_t>(at - lineStarts_.begin());
    for (auto it = at; it != lineStarts_.end(); ++it)
        *it = *it - removed + inserted.size();
    std::vector<size_t> added;
    for (size_t j = 0; j < inserted.size(); ++j)
        if (inserted[j] == u'\n') added.push_back(position + j + 1);
    lineStarts_.insert(lineStarts_.begin() + static_cast<std::ptrdiff_t>(index), added.begin(), added.end());
    text_.replace(position, removed, inserted);
    setModified(true);
}

void TCodeEd::userEdit(size_t position, size_t removed, std::u16string_view inserted) {
    applyEdit(position, removed, inserted);
    selStart_ = std::min(selStart_, text_.size());
    selLength_ = std::min(selLength_, text_.size() - selStart_);
    UpdateStatus();
}

void TCodeEd::userSelect(size_t start, size_t length) {
    selStart_ = std::min(start, text_.size());
    selLength_ = std::min(length, text_.size() - selStart_);
    UpdateStatus();
}

void TCodeEd::select(size_t start, size_t length) {
    selStart_ = std::min(start, text_.size());
    selLength_ = std::min(length, text_.size() - selStart_);
    notify(Change::Selection);
    UpdateStatus();
}

void TCodeEd::setReadOnly(bool on) {
    readOnly_ = on;
    setCaption(ExtractFileName(FileName) + (on ? " (read-only)" : ""));
}

void TCodeEd::replaceSelection(std::u16string_view replacement) {
    if (readOnly_) return;
    lastEdit_ = {selStart_, selLength_, std::u16string(replacement)};
    applyEdit(selStart_, selLength_, replacement);
    notify(Change::Edit);
    select(selStart_ + replacement.size(), 0);
}

void TCodeEd::setText(std::u16string text) {
    text_ = std::move(text);
    rich_.reset();
    rebuildLines();
    selStart_ = selLength_ = 0;
    notify(Change::Document);
}

void TCodeEd::LoadFile(const std::string& name, int caret) {
    if (name.size() < 2) {
        setModified(false);
        owner_.closeWindow(*this); // frees this window
        return;
    }
    FileName = name;
    font_ = FontDialog1;
    notify(Change::Font);
    const std::string bytes = dd_.readBytes(name);
    if (LooksBinary(bytes)) {
        // Every build saves the open windows as text, which would mangle such a file for good.
        const std::string message = CannotOpenFile(name) + "\rIt is not a text file.";
        setModified(false);
        owner_.closeWindow(*this); // frees this window
        throw Error(message);
    }
    showBytes(bytes);
    setCaption(ExtractFileName(name));
    select(static_cast<size_t>(std::max(caret, 0)), 0);
}

void TCodeEd::showBytes(const std::string& bytes) {
    std::optional<RtfDocument> rich;
    std::u16string text;
    if (IsRtf(bytes)) {
        rich = ReadRtf(bytes);
        text = rich->text;
    } else {
        const auto lines = SplitTextLines(bytes);
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i) text += u'\n';
            text += DecodeAnsi(lines[i]);
        }
    }
    setText(std::move(text));
    if (rich) {
        rich_ = std::move(rich);
        notify(Change::Document);
    }
    disk_ = diskNow();
    setModified(false);
    StatusBar.setText(1, std::to_string(lineCount()));
}

void TCodeEd::ReloadFromDisk() {
    const std::string bytes = dd_.readBytes(FileName);
    if (LooksBinary(bytes)) throw Error(CannotOpenFile(FileName) + "\rIt is not a text file any more.");
    const size_t caret = selStart_;
    showBytes(bytes);
    select(std::min(caret, text_.size()), 0);
}

std::optional<TCodeEd::DiskStamp> TCodeEd::diskNow() const {
    const auto stamp = dd_.fileStamp(FileName);
    if (!stamp) return std::nullopt;
    std::error_code ec;
    const auto size = std::filesystem::file_size(dd_.toHost(FileName), ec);
    return DiskStamp{stamp->device, stamp->inode, ec ? 0 : size, stamp->written};
}

bool TCodeEd::changedOnDisk() const {
    if (!disk_ || FileName.empty()) return false;
    const auto now = diskNow();
    return now && *now != *disk_;
}

bool TCodeEd::Save1Click() {
    if (FileName.empty() || readOnly_) {
        SaveAs1Click();
        return true;
    }
    if (changedOnDisk()) {
        const std::weak_ptr<void> life = alive_;
        const Answer a =
            ui_.message(MsgKind::Warning,
                        FileName + " was changed on disk since it was opened here.\r\r"
                                   "Yes: overwrite it with the text of this window\r"
                                   "No: load it again from disk (the changes made in this window are lost)\r"
                                   "Cancel: write nothing",
                        {Answer::Yes, Answer::No, Answer::Cancel});
        if (life.expired()) return false;
        if (a == Answer::No) {
            ReloadFromDisk();
            return true;
        }
        if (a != Answer::Yes) return false;
    }
    std::vector<std::string> lines;
    if (!text_.empty()) {
        for (size_t start = 0;;) {
            const size_t end = text_.find(u'\n', start);
            lines.push_back(EncodeAnsi(std::u16string_view(text_).substr(start, end - start)));
            if (end == std::u16string::npos) break;
            start = end + 1;
        }
    }
    dd_.writeLines(FileName, lines); // atomic: a failed save leaves the old file as it was
    disk_ = diskNow();
    setModified(false);
    return true;
}

void TCodeEd::SaveAs1Click() {
    FileDialog dialog;
    dialog.fileName = FileName;
    const std::weak_ptr<void> life = alive_;
    const auto chosen = ui_.saveFile(dialog);
    if (!chosen || life.expired()) return;
    FileName = *chosen;
    disk_.reset();     // the dialog has asked about a file already there
    readOnly_ = false; // the copy is the user's own
    setCaption(ExtractFileName(FileName));
    Save1Click();
}

bool TCodeEd::FormCloseQuery() {
    if (!modified_) return true;
    const std::weak_ptr<void> life = alive_;
    const Answer a = ui_.message(MsgKind::Confirmation, "Save changes to " + FileName + "?",
                                 {Answer::Yes, Answer::No, Answer::Cancel});
    if (life.expired()) return false; // closed meanwhile, with its own question
    if (a == Answer::Yes)
        return Save1Click(); // kept open when its file changed on disk and that was cancelled
    return a == Answer::No;
}

bool TCodeEd::Close1Click() {
    if (!FormCloseQuery()) return false;
    owner_.closeWindow(*this); // frees this window
    return true;
}

namespace {
// Identifiers and numbers of C and assembly; letters beyond ASCII count as parts of words.
bool isWordPart(char16_t c) {
    return c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
           c >= 0x80;
}
} // namespace

size_t TCodeEd::findFrom(size_t from, std::u16string_view what, SearchOptions options) const {
    if (what.empty()) return std::u16string::npos;
    const auto same = [&options](char16_t a, char16_t b) {
        return options.matchCase ? a == b : AnsiUpper(a) == AnsiUpper(b);
    };
    auto it = text_.begin() + static_cast<std::ptrdiff_t>(std::min(from, text_.size()));
    for (;; ++it) {
        it = std::search(it, text_.end(), what.begin(), what.end(), same);
        if (it == text_.end()) return std::u16string::npos;
        const size_t at = static_cast<size_t>(it - text_.begin()), end = at + what.size();
        if (!options.wholeWord ||
            ((at == 0 || !isWordPart(text_[at - 1])) && (end == text_.size() || !isWordPart(text_[end]))))
            return at;
    }
}

void TCodeEd::Find(std::u16string_view searchText, SearchOptions options) {
    const size_t at = findFrom(selStart_ + selLength_, searchText, options);
    if (at != std::u16string::npos) select(at, searchText.size());
}

void TCodeEd::ReplaceDialogReplace(std::u16string_view findText, std::u16string_view replaceText,
                                   SearchOptions options) {
    const size_t p = findFrom(0, findText, options);
    if (p == std::u16string::npos) {
        ui_.inform("Not found \"" + ToUtf8(findText));
        return;
    }
    select(p, findText.size());
    replaceSelection(replaceText);
}

size_t TCodeEd::ReplaceAllClick(std::u16string_view findText, std::u16string_view replaceText,
                                SearchOptions options) {
    if (readOnly_) {
        ui_.inform(ExtractFileName(FileName) + " is open read-only.\rNothing was replaced.");
        return 0;
    }
    std::vector<size_t> found;
    for (size_t at = findFrom(0, findText, options); at != std::u16string::npos;
         at = findFrom(at + findText.size(), findText, options))
        found.push_back(at);
    if (found.empty()) {
        ui_.inform("Not found \"" + ToUtf8(findText));
        return 0;
    }
    // From the first occurrence to the end of the last, rewritten at once: the view takes it as one
    // edit, so one Undo takes every replacement back.
    const size_t first = found.front(), end = found.back() + findText.size();
    std::u16string span;
    for (size_t i = 0, from = first; i < found.size(); ++i) {
        span.append(text_, from, found[i] - from).append(replaceText);
        from = found[i] + findText.size();
    }
    if (text_.size() - (end - first) + span.size() > MaxLength) {
        ui_.inform("Replacing every \"" + ToUtf8(findText) + "\" would make the text longer than " +
                   std::to_string(MaxLength) + " characters.\rNothing was replaced.");
        return 0;
    }
    select(first, end - first);
    replaceSelection(span);
    ui_.inform("Replaced " + std::to_string(found.size()) +
               (found.size() == 1 ? " occurrence" : " occurrences") + " of \"" + ToUtf8(findText) + "\"");
    return found.size();
}

void TCodeEd::GoToLine(int line) {
    const size_t last = lineStarts_.size() - 1;
    select(lineStarts_[std::min(static_cast<size_t>(std::max(line, 1) - 1), last)], 0);
}

void TCodeEd::Setfont() {
    const std::weak_ptr<void> life = alive_;
    if (auto chosen = ui_.chooseFont(FontDialog1, 5, 15); chosen && !life.expired()) {
        FontDialog1 = *chosen;
        font_ = *chosen;
        notify(Change::Font);
    }
}

void TCodeEd::UpdateStatus() {
    const size_t line = lineOf(selStart_);
    const size_t start = lineStarts_[line];
    const size_t end = line + 1 < lineStarts_.size() ? lineStarts_[line + 1] - 1 : text_.size();
    const std::u16string_view s = std::u16string_view(text_).substr(start, end - start);
    StatusBar.setText(0, StatusPosition(line, selStart_ - start));
    StatusBar.setText(2, ToUtf8(StatusFilePart(s)));
    StatusBar.setText(4, std::to_string(StatusNumberPart(s)));
}

std::string StatusPosition(size_t line, size_t col) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Line: %3zu   Col: %3zu", line + 1, col + 1);
    return buffer;
}

std::u16string StatusFilePart(std::u16string_view line) {
    const size_t dot = line.find(u'.');
    const size_t p = dot == std::u16string_view::npos ? 0 : dot + 1;
    return std::u16string(line.substr(0, std::min(p + 1, FilePartLimit)));
}

int StatusNumberPart(std::u16string_view line) {
    const size_t dot = line.find(u'.');
    const size_t p = dot == std::u16string_view::npos ? 0 : dot + 1;
    const std::u16string_view t = line.substr(std::min(p, line.size()), 5);
    const size_t blank = t.find(u' ');
    const std::u16string_view u = t.substr(blank == std::u16string_view::npos ? 0 : blank, 3);
    size_t i = 0;
    while (i < u.size() && u[i] == u' ')
        ++i;
    bool negative = false;
    if (i < u.size() && (u[i] == u'+' || u[i] == u'-')) negative = u[i++] == u'-';
    int value = 0;
    for (; i < u.size() && u[i] >= u'0' && u[i] <= u'9'; ++i)
        value = value * 10 + (u[i] - u'0');
    return negative ? -value : value;
}

} // namespace halyard
