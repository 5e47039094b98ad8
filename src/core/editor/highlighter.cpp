// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/highlighter.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>

namespace halyard {

namespace {

enum class Numbers {
    C,        // 0x1F, 12UL, 1.5e-3
    Suffixed, // 0FFh, 1010b, 0x1F: any run that starts with a digit
};

struct Quote {
    char16_t mark;
    Token kind;
};

// How one language looks. The scanner below reads nothing but this table.
struct Rules {
    bool caseSensitive = true;
    std::u16string_view lineComment;           // to the end of the line, anywhere
    std::u16string_view blockOpen, blockClose; // may span lines
    bool starLineComments = false;             // '*' in the first column comments the line
    std::vector<Quote> quotes;
    bool backslashEscapes = false; // "\"" inside, and a final backslash continues the string
    bool doubledQuotes = false;    // "say ""hi"""
    bool preprocessor = false;     // '#' first on a line; a final backslash continues it
    char16_t wordPrefix = 0;       // a word led by it is a prefixKind (".word", "-o")
    Token prefixKind = Token::Directive;
    bool firstColumnLabels = false;
    bool colonLabels = false;                      // ":name" first on a line is a label, "::" a comment
    bool percentVariables = false;                 // %NAME%, %1, %%f, %~dp0
    std::vector<std::string_view> commentCommands; // first word of a line that makes it a comment
    std::vector<std::string_view> textCommands;    // words whose rest of the line is text
    Numbers numbers = Numbers::C;
    std::vector<std::pair<std::string_view, Token>> words;
};

constexpr LineState InComment = 1, InPreprocessor = 2, QuoteShift = 2, QuoteMask = 3 << QuoteShift;

std::vector<std::pair<std::string_view, Token>>
wordList(std::initializer_list<std::string_view> names, Token kind,
         std::vector<std::pair<std::string_view, Token>> more = {}) {
    for (std::string_view n : names)
        more.emplace_back(n, kind);
    return more;
}

Rules cRules() {
    Rules r;
    r.lineComment = u"//";
    r.blockOpen = u"/*";
    r.blockClose = u"*/";
    r.quotes = {{u'"', Token::String}, {u'\'', Token::Char}};
    r.backslashEscapes = true;
    r.preprocessor = true;
    r.words = wordList(
        {"auto",   "break",   "case",  "const",    "continue", "default",   "do",     "else",   "enum",
         "extern", "for",     "goto",  "if",       "register", "return",    "sizeof", "static", "struct",
         "switch", "typedef", "union", "volatile", "while",    "interrupt", "asm"},
        Token::Keyword,
        wordList({"char", "short", "int", "long", "float", "double", "signed", "unsigned", "void"},
                 Token::Type));
    return r;
}

Rules asmRules() {
    Rules r;
    r.caseSensitive = false;
    r.lineComment = u";";
    r.starLineComments = true;
    r.quotes = {{u'"', Token::String}, {u'\'', Token::Char}};
    r.doubledQuotes = true;
    r.wordPrefix = u'.';
    r.prefixKind = Token::Directive;
    r.firstColumnLabels = true;
    r.numbers = Numbers::Suffixed;
    r.words = wordList({"ADC",  "ADD",    "AND",   "BTJO",  "BTJZ",  "BR",    "CALL", "CALLR", "CLR",  "CLRC",
                        "CMP",  "CMPBIT", "COMPL", "DAC",   "DEC",   "DECD",  "DINT", "DIV",   "DJNZ", "DSB",
                        "EINT", "EINTH",  "EINTL", "IDLE",  "INC",   "INCD",  "INV",  "JMP",   "JMPL", "JC",
                        "JEQ",  "JG",     "JGE",   "JHS",   "JL",    "JLE",   "JLO",  "JN",    "JNC",  "JNE",
                        "JNV",  "JNZ",    "JP",    "JPZ",   "JV",    "JZ",    "LDSP", "LDST",  "MOV",  "MOVD",
                        "MOVW", "MPY",    "NOP",   "OR",    "POP",   "PUSH",  "RL",   "RLC",   "RR",   "RRC",
                        "RTI",  "RTS",    "SBB",   "SETC",  "STSP",  "SUB",   "SWAP", "TRAP",  "TST",  "TSTA",
                        "TSTB", "XCHB",   "XOR",   "JBIT0", "JBIT1", "SBIT0", "SBIT1"},
                       Token::Mnemonic);
    return r;
}

Rules linkCmdRules() {
    Rules r;
    r.caseSensitive = false;
    r.blockOpen = u"/*";
    r.blockClose = u"*/";
    r.quotes = {{u'"', Token::String}};
    r.wordPrefix = u'-';
    r.prefixKind = Token::Option;
    r.numbers = Numbers::Suffixed;
    r.words = wordList({"MEMORY", "SECTIONS", "ORIGIN", "ORG",   "LENGTH", "LEN",  "FILL",
                        "LOAD",   "RUN",      "ALIGN",  "BLOCK", "PAGE",   "TYPE", "DSECT",
                        "COPY",   "NOLOAD",   "GROUP",  "UNION", "ATTR",   "RANGE"},
                       Token::Keyword);
    return r;
}

Rules batchRules() {
    Rules r;
    r.caseSensitive = false;
    r.quotes = {{u'"', Token::String}};
    r.colonLabels = true;
    r.percentVariables = true;
    r.commentCommands = {"REM"};
    r.textCommands = {"ECHO"};
    r.numbers = Numbers::Suffixed;
    r.words =
        wordList({"ECHO", "SET", "IF",     "GOTO",     "CALL",     "CD",         "CHDIR", "EXIT",  "PAUSE",
                  "FOR",  "IN",  "DO",     "NOT",      "EXIST",    "ERRORLEVEL", "DEL",   "ERASE", "COPY",
                  "MOVE", "REN", "RENAME", "MD",       "MKDIR",    "RD",         "RMDIR", "TYPE",  "SHIFT",
                  "CLS",  "DIR", "START",  "SETLOCAL", "ENDLOCAL", "REM"},
                 Token::Mnemonic);
    return r;
}

// A rule table with its word index, built once per language.
struct Language {
    Rules rules;
    std::unordered_map<std::u16string, Token> index;
    explicit Language(Rules r) : rules(std::move(r)) {
        for (auto [word, kind] : rules.words)
            index.emplace(std::u16string(word.begin(), word.end()), kind);
    }
};

const Language* languageOf(Syntax s) {
    static const Language c(cRules()), assembler(asmRules()), link(linkCmdRules()), batch(batchRules());
    switch (s) {
    case Syntax::C:
        return &c;
    case Syntax::Asm:
        return &assembler;
    case Syntax::LinkCmd:
        return &link;
    case Syntax::Batch:
        return &batch;
    case Syntax::None:
        break;
    }
    return nullptr;
}

bool isAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool isWordStart(char16_t c) {
    return isAlpha(c) || c == u'_' || c == u'$';
}
bool isWordChar(char16_t c) {
    return isWordStart(c) || isDigit(c);
}
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}
char16_t upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool sameWord(std::u16string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (upper(text[i]) != static_cast<char16_t>(word[i])) return false;
    return true;
}

bool isOneOf(std::u16string_view text, const std::vector<std::string_view>& words) {
    for (std::string_view w : words)
        if (sameWord(text, w)) return true;
    return false;
}

class LineScanner {
public:
    LineScanner(const Language& lang, std::u16string_view line, std::vector<TokenSpan>& out)
        : lang_(lang), r_(lang.rules), line_(line), n_(line.size()), out_(out) {}

    LineState run(LineState state) {
        const size_t first = out_.size();
        bool preprocessor = (state & InPreprocessor) != 0;
        size_t i = 0;
        if (state & InComment) {
            i = blockComment(0);
        } else if (const int quote = (state & QuoteMask) >> QuoteShift;
                   quote > 0 && quote <= int(r_.quotes.size())) {
            i = quoted(0, r_.quotes[size_t(quote - 1)]);
        } else if (!preprocessor && r_.preprocessor) {
            const size_t at = skipBlanks(0);
            preprocessor = at < n_ && line_[at] == u'#';
        }
        if (i == 0 && r_.starLineComments && n_ > 0 && line_[0] == u'*') {
            push(0, n_, Token::Comment);
            i = n_;
        }
        bool firstWord = true;
        while (i < n_ && open_ == 0) {
            const char16_t c = line_[i];
            if (isBlank(c)) {
                ++i;
            } else if (!r_.blockOpen.empty() && line_.substr(i).starts_with(r_.blockOpen)) {
                open_ = InComment;
                i = blockComment(i + r_.blockOpen.size(), i);
            } else if (!r_.lineComment.empty() && line_.substr(i).starts_with(r_.lineComment)) {
                push(i, n_, Token::Comment);
                i = n_;
            } else if (const Quote* q = quoteAt(c)) {
                i = quoted(i + 1, *q, i);
            } else if (preprocessor) {
                ++i; // the rest of a preprocessor line takes one colour
            } else if (r_.colonLabels && c == u':' && skipBlanks(0) == i) {
                const bool comment = i + 1 < n_ && line_[i + 1] == u':';
                const size_t end = comment ? n_ : wordEnd(i + 1);
                push(i, end, comment ? Token::Comment : Token::Label);
                i = end;
            } else if (r_.percentVariables && c == u'%') {
                const size_t end = variableEnd(i);
                if (end > i) push(i, end, Token::Variable);
                i = end > i ? end : i + 1;
            } else if (r_.firstColumnLabels && i == 0 && isWordStart(c)) {
                size_t end = wordEnd(i);
                if (end < n_ && line_[end] == u':') ++end;
                push(i, end, Token::Label);
                i = end;
            } else if (isDigit(c) ||
                       (r_.numbers == Numbers::C && c == u'.' && i + 1 < n_ && isDigit(line_[i + 1]))) {
                const size_t end = numberEnd(i);
                push(i, end, Token::Number);
                i = end;
            } else if (r_.wordPrefix && c == r_.wordPrefix && i + 1 < n_ && isWordStart(line_[i + 1]) &&
                       (i == 0 || !isWordChar(line_[i - 1]))) {
                const size_t end = wordEnd(i + 1);
                push(i, end, r_.prefixKind);
                i = end;
            } else if (isWordStart(c)) {
                const size_t end = wordEnd(i);
                i = word(i, end, firstWord);
                firstWord = false;
                continue;
            } else {
                ++i;
            }
            if (!isBlank(c) && c != u'@') firstWord = false;
        }
        if (preprocessor) fillGaps(first, Token::Preprocessor);
        LineState next = open_;
        if (preprocessor && (open_ == InComment || endsWithBackslash())) next |= InPreprocessor;
        return next;
    }

private:
    size_t skipBlanks(size_t i) const {
        while (i < n_ && isBlank(line_[i]))
            ++i;
        return i;
    }
    size_t wordEnd(size_t i) const {
        while (i < n_ && isWordChar(line_[i]))
            ++i;
        return i;
    }
    bool endsWithBackslash() const {
        size_t end = n_;
        while (end > 0 && isBlank(line_[end - 1]))
            --end;
        return end > 0 && line_[end - 1] == u'\\';
    }
    const Quote* quoteAt(char16_t c) const {
        for (const Quote& q : r_.quotes)
            if (q.mark == c) return &q;
        return nullptr;
    }
    void push(size_t from, size_t to, Token kind) {
        if (to > from) out_.push_back({from, to - from, kind});
    }

    // From inside a block comment (opened at `from`) to just after its end, or to the line's end.
    size_t blockComment(size_t i, size_t from = 0) {
        const size_t close = line_.find(r_.blockClose, i);
        const size_t end = close == std::u16string_view::npos ? n_ : close + r_.blockClose.size();
        open_ = close == std::u16string_view::npos ? InComment : 0;
        push(from, end, Token::Comment);
        return end;
    }

    // From inside a quoted text (opened at `from`) to just after its closing mark. Without one the
    // text ends with the line, unless a final backslash carries it on to the next.
    size_t quoted(size_t i, const Quote& q, size_t from = 0) {
        while (i < n_) {
            const char16_t c = line_[i];
            if (r_.backslashEscapes && c == u'\\') {
                if (i + 1 == n_) {
                    open_ = static_cast<LineState>((&q - r_.quotes.data()) + 1) << QuoteShift;
                    i = n_;
                    break;
                }
                i += 2;
            } else if (c == q.mark) {
                if (r_.doubledQuotes && i + 1 < n_ && line_[i + 1] == q.mark) {
                    i += 2;
                    continue;
                }
                ++i;
                break;
            } else {
                ++i;
            }
        }
        i = std::min(i, n_);
        push(from, i, q.kind);
        return i;
    }

    size_t numberEnd(size_t i) const {
        const bool hex =
            r_.numbers == Numbers::C && line_[i] == u'0' && i + 1 < n_ && upper(line_[i + 1]) == u'X';
        ++i;
        while (i < n_) {
            const char16_t c = line_[i];
            if (isWordChar(c) || (r_.numbers == Numbers::C && c == u'.'))
                ++i;
            else if (r_.numbers == Numbers::C && !hex && (c == u'+' || c == u'-') &&
                     upper(line_[i - 1]) == u'E')
                ++i;
            else
                break;
        }
        return i;
    }

    // %%f, %1, %*, %~dp0, %NAME%; returns `i` when the '%' starts none of them.
    size_t variableEnd(size_t i) const {
        if (i + 2 < n_ && line_[i + 1] == u'%' && isAlpha(line_[i + 2])) return i + 3;
        if (i + 1 < n_ && (isDigit(line_[i + 1]) || line_[i + 1] == u'*')) return i + 2;
        if (i + 1 < n_ && line_[i + 1] == u'~') {
            size_t j = i + 2;
            while (j < n_ && isAlpha(line_[j]))
                ++j;
            return j < n_ && isDigit(line_[j]) ? j + 1 : i;
        }
        const size_t close = line_.find(u'%', i + 1);
        if (close == std::u16string_view::npos || close == i + 1) return i;
        return close + 1;
    }

    // A word at [i, end): a listed word, a comment command or a text command; returns where the
    // scan goes on.
    size_t word(size_t i, size_t end, bool firstWord) {
        const std::u16string_view w = line_.substr(i, end - i);
        if (firstWord && isOneOf(w, r_.commentCommands)) {
            push(i, n_, Token::Comment);
            return n_;
        }
        std::u16string key(w);
        if (!r_.caseSensitive)
            for (char16_t& ch : key)
                ch = upper(ch);
        if (auto it = lang_.index.find(key); it != lang_.index.end()) push(i, end, it->second);
        if (isOneOf(w, r_.textCommands)) return textRest(end);
        return end;
    }

    // The text an ECHO prints: only its variables are coloured.
    size_t textRest(size_t i) {
        while (i < n_) {
            if (r_.percentVariables && line_[i] == u'%') {
                if (const size_t end = variableEnd(i); end > i) {
                    push(i, end, Token::Variable);
                    i = end;
                    continue;
                }
            }
            ++i;
        }
        return n_;
    }

    void fillGaps(size_t first, Token kind) {
        std::vector<TokenSpan> filled;
        size_t at = 0;
        for (size_t k = first; k < out_.size(); ++k) {
            if (out_[k].start > at) filled.push_back({at, out_[k].start - at, kind});
            filled.push_back(out_[k]);
            at = out_[k].start + out_[k].length;
        }
        if (n_ > at) filled.push_back({at, n_ - at, kind});
        out_.resize(first);
        out_.insert(out_.end(), filled.begin(), filled.end());
    }

    const Language& lang_;
    const Rules& r_;
    std::u16string_view line_;
    size_t n_;
    std::vector<TokenSpan>& out_;
    LineState open_ = 0; // a comment or string still open at the end of the line
};

} // namespace

Syntax SyntaxForFile(std::string_view fileName) {
    const size_t dot = fileName.find_last_of(".\\/:");
    if (dot == std::string_view::npos || fileName[dot] != '.') return Syntax::None;
    std::string ext(fileName.substr(dot + 1));
    while (!ext.empty() && ext.back() == ' ')
        ext.pop_back(); // stored names may carry a trailing blank
    for (char& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "c" || ext == "h") return Syntax::C;
    if (ext == "asm" || ext == "s") return Syntax::Asm;
    if (ext == "cmd") return Syntax::LinkCmd;
    if (ext == "bat") return Syntax::Batch;
    return Syntax::None;
}

LineState HighlightLine(Syntax syntax, std::u16string_view line, LineState state,
                        std::vector<TokenSpan>& out) {
    const Language* lang = languageOf(syntax);
    if (!lang) return 0;
    return LineScanner(*lang, line, out).run(state < 0 ? 0 : state);
}

} // namespace halyard
