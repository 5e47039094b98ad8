// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The linker command-file language: options and file names, MEMORY and SECTIONS, /* */ comments.
// It reads the hand-written files of the tool chain's manual as well as every file that Halyard's
// command-file builder writes (attributes after the ":", "run = > 8000h", "PAGE1", "fill =0010h",
// full Windows paths as input files, empty "()" input lists). The stand-in linker links through it
// and Halyard checks command files with it, so both read a file the same way.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halyard::linkcmd {

enum class Severity { Warning, Error };

struct Diagnostic {
    std::string file;
    int line = 0; // 0: no line
    Severity severity = Severity::Error;
    int code = 0;
    std::string text;
};

// Collects the messages of one run; `echo`, when set, sees each one as it arrives.
class Diagnostics {
public:
    using Echo = std::function<void(const Diagnostic&)>;
    static constexpr size_t MaxMessages = 1000, MaxMessageText = 200;
    explicit Diagnostics(Echo echo = {}) : echo_(std::move(echo)) {}
    void error(const std::string& file, int line, int code, const std::string& text);
    void warning(const std::string& file, int line, int code, const std::string& text);
    void add(const Diagnostic& d);
    int errorCount() const { return errors_; }
    const std::vector<Diagnostic>& all() const { return all_; }
    // The messages, moved out; the counts stay.
    std::vector<Diagnostic> take() { return std::move(all_); }
    bool suppressWarnings = false;

private:
    Echo echo_;
    std::vector<Diagnostic> all_;
    int errors_ = 0;
};

// TMS370 numbers: "0200h", "0x200", "256"; a trailing blank is ignored.
std::optional<std::int64_t> ParseNumber(const std::string& text);
// "0200h", "0FFE0h": at least four digits, a leading 0 before a letter, as the tools print addresses.
std::string Hex(std::int64_t value);

struct LinkArg {
    std::string text;
    std::string file; // where it was written: a command file, or the tool for the command line
    int line = 0;
};

struct MemRange {
    std::string name, attrs;
    int page = 0;
    std::int64_t origin = 0, length = 0;
    std::optional<std::int64_t> fill;
    std::string file;
    int line = 0;
    // False when the origin or the length could not be read: the range is defined, so placements
    // into it are sound, but where it lies is unknown.
    bool known = true;
    std::int64_t end() const { return origin + length; }
};

using Expr = std::vector<std::string>; // tokens of "100h + 20h", ".", "endvec"

struct Target {
    enum Kind { None, Range, Address } kind = None;
    std::string range;
    std::int64_t address = 0;
};

struct InputItem {
    bool assignment = false;
    std::string file;                  // "*": every file; for an assignment the symbol ("." moves)
    std::vector<std::string> sections; // empty: every section of the file
    Expr expr;
    int line = 0;
};

struct OutputSpec {
    enum Kind { Section, Union, Group, Assignment } kind = Section;
    std::string name; // for an assignment the symbol
    std::string file;
    int line = 0;
    Target load, run;
    std::int64_t align = 0, block = 0;
    int page = 0;
    std::string type; // "COPY", "DSECT", "NOLOAD" or empty
    std::optional<std::int64_t> fill;
    bool hasInputs = false;
    std::vector<InputItem> inputs;
    std::vector<OutputSpec> members; // of a UNION or GROUP
    Expr expr;                       // of an assignment
};

struct CommandFile {
    std::vector<LinkArg> args;
    std::vector<MemRange> memory;
    std::vector<OutputSpec> sections;
};

// fileName is used in messages; errors are reported into diags with the file's name and line.
CommandFile ParseCommandFile(const std::string& text, const std::string& fileName, Diagnostics& diags);

// dot is the current location; nullopt with a reason when a name is unknown or the syntax is wrong.
std::optional<std::int64_t> EvalExpr(const Expr& e, std::int64_t dot,
                                     const std::map<std::string, std::int64_t>& syms,
                                     std::string* why = nullptr);

} // namespace halyard::linkcmd
