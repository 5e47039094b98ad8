// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/rtf_reader.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "editor/code_text.h"

namespace halyard {

bool IsRtf(std::string_view bytes) {
    return bytes.substr(0, 5) == "{\\rtf";
}

namespace {

enum class Dest { Text, Skip, FontTable, ColorTable };

struct GroupState {
    Dest dest = Dest::Text;
    int font = -1;
    int color = 0;
    RtfCharFormat chr; // font and colour are resolved when a character is emitted
    RtfParaFormat para;
    int uc = 1;           // fallback characters that follow a \uN
    bool starred = false; // "{\*" seen: an unknown destination word makes the group skipped
};

// Destinations whose content is never document text.
const std::set<std::string, std::less<>> SkippedDestinations = {
    "stylesheet", "info",       "pict",         "object",    "header",    "headerl",
    "headerr",    "headerf",    "footer",       "footerl",   "footerr",   "footerf",
    "footnote",   "annotation", "atnid",        "atnauthor", "xe",        "tc",
    "fldinst",    "bkmkstart",  "bkmkend",      "generator", "listtable", "listoverridetable",
    "revtbl",     "rsidtbl",    "latentstyles", "datastore", "themedata", "colorschememapping",
    "filetbl",    "xmlnstbl",   "pgdsctbl",     "mmathPr",   "userprops", "nonshppict",
    "template",   "pntxta",     "pntxtb",       "objdata",   "shpinst",   "sp"};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    RtfDocument read() {
        stack_.push_back({});
        startParagraph();
        while (pos_ < in_.size() && !done_)
            step();
        finish();
        return std::move(doc_);
    }

private:
    std::string_view in_;
    size_t pos_ = 0;
    std::vector<GroupState> stack_;
    RtfDocument doc_;
    std::map<int, std::string> fonts_;
    std::vector<std::optional<std::uint32_t>> colors_;
    int defaultFont_ = -1;
    int skipFallback_ = 0;
    // Real documents nest a few dozen groups; copying the state for each "{" of a crafted file
    // would take memory in proportion to its size, so past this depth braces are only counted.
    static constexpr size_t kMaxDepth = 256;
    size_t excessDepth_ = 0;
    bool afterCr_ = false; // the last text character was a CR written as a character
    bool done_ = false;    // the outermost group has closed
    std::string fontName_; // the font table entry being read
    int fontEntry_ = -1;
    int red_ = -1, green_ = -1, blue_ = -1;
    RtfParaFormat lastPara_; // the paragraph format in effect at the last character

    GroupState& st() { return stack_.back(); }

    void step() {
        const char c = in_[pos_++];
        switch (c) {
        case '{': {
            skipFallback_ = 0;
            if (stack_.size() >= kMaxDepth) { // the deeper groups share the deepest state
                ++excessDepth_;
                st().starred = false;
                break;
            }
            GroupState inner = st();
            inner.starred = false;
            stack_.push_back(inner);
            break;
        }
        case '}':
            closeGroup();
            break;
        case '\\':
            controlWord();
            break;
        case '\r':
        case '\n':
        case '\0':
            break;
        default:
            text(AnsiChar(static_cast<unsigned char>(c)));
        }
    }

    void closeGroup() {
        if (excessDepth_ > 0) {
            --excessDepth_;
            skipFallback_ = 0;
            return;
        }
        if (stack_.size() == 1) return; // a stray "}" before the document's group
        if (st().dest == Dest::FontTable && stack_.size() >= 2 &&
            stack_[stack_.size() - 2].dest != Dest::FontTable)
            endFontEntry();
        skipFallback_ = 0;
        stack_.pop_back();
        done_ = stack_.size() == 1;
    }

    void controlWord() {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        if (!isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            symbol(c);
            return;
        }
        std::string word;
        while (pos_ < in_.size() && isalpha(static_cast<unsigned char>(in_[pos_])))
            word += in_[pos_++];
        std::optional<long> param;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        long value = 0;
        bool digits = false;
        while (pos_ < in_.size() && isdigit(static_cast<unsigned char>(in_[pos_]))) {
            if (value < 100000000) value = value * 10 + (in_[pos_] - '0'); // longer numbers saturate
            digits = true;
            ++pos_;
        }
        if (digits) param = negative ? -value : value;
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
        keyword(word, param);
    }

    void symbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(static_cast<char16_t>(c));
            break;
        case '~':
            text(0x00A0);
            break;
        case '_':
            text(u'-');
            break;
        case '\'': {
            int v = 0, n = 0;
            while (n < 2 && pos_ < in_.size() && isxdigit(static_cast<unsigned char>(in_[pos_]))) {
                const char h = static_cast<char>(tolower(static_cast<unsigned char>(in_[pos_++])));
                v = v * 16 + (isdigit(static_cast<unsigned char>(h)) ? h - '0' : h - 'a' + 10);
                ++n;
            }
            if (n > 0) text(AnsiChar(static_cast<unsigned char>(v)));
            break;
        }
        case '*':
            st().starred = true;
            break;
        case '\r':
        case '\n':
            paragraph();
            break;
        default: // "\-" (optional hyphen), "\:" (index subentry) and the like show nothing
            break;
        }
    }

    void keyword(const std::string& w, std::optional<long> param) {
        GroupState& s = st();
        const long p = param.value_or(1);
        if (w == "bin") {
            pos_ += std::min<size_t>(in_.size() - pos_, static_cast<size_t>(std::max(0L, p)));
            return;
        }
        if (s.dest == Dest::Skip) return;
        if (w == "fonttbl") {
            s.dest = Dest::FontTable;
            return;
        }
        if (w == "colortbl") {
            s.dest = Dest::ColorTable;
            return;
        }
        if (SkippedDestinations.count(w)) {
            s.dest = Dest::Skip;
            return;
        }
        if (s.dest == Dest::FontTable) {
            if (w == "f") {
                endFontEntry();
                fontEntry_ = static_cast<int>(p);
            } else if (s.starred) {
                s.dest = Dest::Skip; // \*\panose, \*\falt and the like
            }
            return;
        }
        if (s.dest == Dest::ColorTable) {
            if (w == "red")
                red_ = static_cast<int>(p & 0xFF);
            else if (w == "green")
                green_ = static_cast<int>(p & 0xFF);
            else if (w == "blue")
                blue_ = static_cast<int>(p & 0xFF);
            return;
        }
        if (w == "u") {
            long v = param.value_or(0);
            if (v < 0) v += 65536;
            text(v >= 0 && v <= 0xFFFF ? static_cast<char16_t>(v) : char16_t{0xFFFD});
            skipFallback_ = s.uc;
            return;
        }
        if (skipFallback_ > 0) {
            --skipFallback_; // a control word counts as one fallback character
            return;
        }
        if (w == "uc")
            s.uc = static_cast<int>(std::clamp(p, 0L, 10L));
        else if (w == "deff")
            defaultFont_ = static_cast<int>(p);
        else if (w == "plain") {
            s.chr = {};
            s.font = defaultFont_;
            s.color = 0;
        } else if (w == "b")
            s.chr.bold = p != 0;
        else if (w == "i")
            s.chr.italic = p != 0;
        else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "ulth" || w == "uldash" ||
                 w == "ulwave" || w == "uldashd" || w == "uldashdd")
            s.chr.underline = p != 0;
        else if (w == "ulnone")
            s.chr.underline = false;
        else if (w == "strike")
            s.chr.strikeOut = p != 0;
        else if (w == "f")
            s.font = static_cast<int>(p);
        else if (w == "fs")
            s.chr.halfPoints = static_cast<int>(std::clamp(p, 2L, 3276L));
        else if (w == "cf")
            s.color = static_cast<int>(std::max(0L, p));
        else if (w == "pard")
            s.para = {};
        else if (w == "ql")
            s.para.align = RtfAlign::Left;
        else if (w == "qc")
            s.para.align = RtfAlign::Center;
        else if (w == "qr")
            s.para.align = RtfAlign::Right;
        else if (w == "qj")
            s.para.align = RtfAlign::Justify;
        else if (w == "li")
            s.para.leftIndent = static_cast<int>(param.value_or(0));
        else if (w == "ri")
            s.para.rightIndent = static_cast<int>(param.value_or(0));
        else if (w == "fi")
            s.para.firstIndent = static_cast<int>(param.value_or(0));
        else if (w == "sb")
            s.para.spaceBefore = static_cast<int>(param.value_or(0));
        else if (w == "sa")
            s.para.spaceAfter = static_cast<int>(param.value_or(0));
        else if (w == "par" || w == "line" || w == "row")
            paragraph();
        else if (w == "tab" || w == "cell" || w == "nestcell")
            text(u'\t');
        else if (w == "emdash")
            text(0x2014);
        else if (w == "endash")
            text(0x2013);
        else if (w == "emspace" || w == "enspace" || w == "qmspace")
            text(u' ');
        else if (w == "bullet")
            text(0x2022);
        else if (w == "lquote")
            text(0x2018);
        else if (w == "rquote")
            text(0x2019);
        else if (w == "ldblquote")
            text(0x201C);
        else if (w == "rdblquote")
            text(0x201D);
        else if (s.starred)
            s.dest = Dest::Skip; // an optional destination we do not know
    }

    void text(char16_t c) {
        GroupState& s = st();
        if (s.dest == Dest::Skip) return;
        if (s.dest == Dest::FontTable) {
            if (c == u';')
                endFontEntry();
            else
                fontName_ += ToUtf8(std::u16string(1, c));
            return;
        }
        if (s.dest == Dest::ColorTable) {
            if (c == u';') {
                if (red_ < 0 && green_ < 0 && blue_ < 0)
                    colors_.push_back(std::nullopt);
                else
                    colors_.push_back(static_cast<std::uint32_t>(
                        (std::max(red_, 0) << 16) | (std::max(green_, 0) << 8) | std::max(blue_, 0)));
                red_ = green_ = blue_ = -1;
            }
            return;
        }
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        // A line break written as \'0a or \u10 starts a paragraph, so each line keeps its entry;
        // CR LF is one break.
        const bool afterCr = afterCr_;
        afterCr_ = c == u'\r';
        if (c == u'\r' || (c == u'\n' && !afterCr)) return paragraph();
        if (c == u'\n') return;
        emit(c);
    }

    void endFontEntry() {
        if (fontEntry_ >= 0) {
            std::string name = fontName_;
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            while (!name.empty() && name.front() == ' ')
                name.erase(name.begin());
            fonts_[fontEntry_] = name;
        }
        fontEntry_ = -1;
        fontName_.clear();
    }

    RtfCharFormat resolved() const {
        const GroupState& s = stack_.back();
        RtfCharFormat f = s.chr;
        const int font = s.font >= 0 ? s.font : defaultFont_;
        if (auto it = fonts_.find(font); it != fonts_.end()) f.font = it->second;
        if (s.color > 0 && static_cast<size_t>(s.color) < colors_.size()) f.color = colors_[s.color];
        return f;
    }

    void emit(char16_t c) {
        RtfCharFormat f = resolved();
        const size_t at = doc_.text.size();
        lastPara_ = st().para;
        doc_.text += c;
        if (!doc_.runs.empty() && doc_.runs.back().format == f)
            ++doc_.runs.back().length;
        else
            doc_.runs.push_back({at, 1, std::move(f)});
    }

    void startParagraph() { doc_.paragraphs.push_back({doc_.text.size(), {}}); }

    void paragraph() {
        if (st().dest != Dest::Text) return;
        skipFallback_ = 0;
        doc_.paragraphs.back().format = st().para;
        emit(u'\n');
        startParagraph();
    }

    void finish() {
        // The closing \par of the last paragraph is the document's end mark, not an empty line.
        if (doc_.paragraphs.size() > 1 && doc_.paragraphs.back().start == doc_.text.size() &&
            !doc_.text.empty() && doc_.text.back() == u'\n') {
            doc_.paragraphs.pop_back();
            doc_.text.pop_back();
            if (--doc_.runs.back().length == 0) doc_.runs.pop_back();
        } else {
            doc_.paragraphs.back().format = done_ ? lastPara_ : st().para;
        }
    }
};

} // namespace

RtfDocument ReadRtf(std::string_view bytes) {
    return Reader(bytes).read();
}

} // namespace halyard
