#pragma once
// Every message of the stand-in tools has one fixed form that the IDE's editor navigates:
// "<file> <line>: error[E<nnn>]: <text>" (or warning[W<nnn>]), the file name without its folder.
// Messages that belong to no file use the tool's name in place of the file and carry no line.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace halyard::sim370 {

enum class Severity { Warning, Error };

struct Diagnostic {
    std::string file; // shown without its folder
    int line = 0;     // 0: no line
    Severity severity = Severity::Error;
    int code = 0;
    std::string text;
};

std::string FormatDiagnostic(const Diagnostic& d);

// Collects the messages of one tool run and echoes each as it arrives.
class Diagnostics {
public:
    explicit Diagnostics(std::ostream* echo = nullptr) : echo_(echo) {}
    void error(const std::string& file, int line, int code, const std::string& text);
    void warning(const std::string& file, int line, int code, const std::string& text);
    void add(const Diagnostic& d);
    int errorCount() const { return errors_; }
    const std::vector<Diagnostic>& all() const { return all_; }
    bool suppressWarnings = false;

private:
    std::ostream* echo_;
    std::vector<Diagnostic> all_;
    int errors_ = 0;
};

// The text after the last "\", "/" or ":".
std::string BaseName(const std::string& path);
// The name without its last extension ("main.c" -> "main").
std::string StemOf(const std::string& path);

// TMS370 numbers: "0200h", "0x200", "256"; a trailing blank is ignored.
std::optional<std::int64_t> ParseNumber(const std::string& text);
// "0200h", "0FFE0h": at least four digits, a leading 0 before a letter, as the tools print addresses.
std::string Hex(std::int64_t value);

} // namespace halyard::sim370
