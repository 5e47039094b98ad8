// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the batch interpreter's files share: the running batch's frame and the helpers that read
// and cut command lines.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/batch_interpreter.h"

namespace halyard {

struct BatchInterpreter::Frame {
    std::string path;                      // the batch file, a Windows path
    const std::vector<std::string>* lines; // its text
    std::vector<std::string> args;         // %0, %1, ...
    size_t shift = 0;
    size_t pc = 0;
    size_t localDepth = 0; // SETLOCALs open when the batch began; the rest end with it
};

namespace batch_detail {

extern const char* const SyntaxError;
inline constexpr const char* TooLongText = "The input line is too long.";

bool isBlank(char c);
std::string ltrim(const std::string& s);
std::string trim(const std::string& s);
std::string unquote(const std::string& s);
// The first blank-separated word (a quoted part does not end it) and the text after it.
std::pair<std::string, std::string> firstWord(const std::string& text);
bool startsWithWord(std::string_view s, const char* word);

// Scans a command line for its top-level separators (&, &&, |, ||, and the line breaks of a
// parenthesised block) and returns the depth of parentheses still open at its end. A "(" opens a
// block only where a command may start or, after IF and ELSE, behind a blank, as the command
// processor reads it; elsewhere it is text ("ECHO (see below)").
//
// A scan can go on where an earlier one over the start of the same text ended (state and from), so
// that a block growing line by line is read once, not once for every line it gets.
struct LineScan {
    bool quoted = false, commandStart = true, inIf = false;
    bool escaped = false; // a caret ended the text scanned so far
    int depth = 0;
};
using SeparatorFound = std::function<bool(size_t pos, size_t len, char kind)>;
int scanLine(std::string_view s, const SeparatorFound& onSeparator, LineScan& st, size_t from);
int scanLine(std::string_view s, const SeparatorFound& onSeparator);

// Index of the ")" that closes the "(" at open, or npos.
size_t matchingParen(const std::string& s, size_t open);
bool isRegularFile(int fd);
void writeAll(int fd, const char* data, size_t size);
bool hasWildcard(const std::string& s);
// value is left alone unless the whole text is a number in range.
bool parseInt(const std::string& s, long& value);
bool endsWithContinuation(const std::string& line);
// The line after which a label stands, searched from line "from" to the end and then from the
// top, as GOTO and CALL look for it; npos when there is none.
size_t findLabel(const std::vector<std::string>& lines, const std::string& label, size_t from);
// One line of input without its line end, read a byte at a time so that nothing after it is taken
// from what the batch's programs read next.
// At most max characters are kept (0: all); the rest of the line is read and dropped.
std::string readLine(int fd, size_t max = 0);
// The free part of this thread's stack below the caller and the stack's size; {0, 0} when the
// system does not tell.
std::pair<size_t, size_t> stackRoom();

} // namespace batch_detail
} // namespace halyard
