// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the core reaches the world. The Qt layer implements these ports; core tests use the scripted
// fakes in tests/support.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halyard {

enum class MsgKind { Information, Warning, Error, Confirmation };
enum class Answer { None, Ok, Cancel, Yes, No, Abort, Retry, Ignore };

struct FileDialog {
    std::string title;
    std::string filter;     // "Project|*.prj" style pairs, "|" separated
    std::string initialDir; // Windows path
    std::string fileName;   // Windows path or name
    std::string defaultExt;
};

// A font as the font dialog offers it: face, size in points, style and effects.
struct FontSpec {
    std::string name;
    int size = 8;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    std::uint32_t color = 0; // 0xRRGGBB
    bool operator==(const FontSpec&) const = default;
};

// A document handed to the print dialog: it is printed only when the user confirms the dialog.
struct PrintJob {
    std::string title;
    std::string text; // UTF-8, lines separated by "\n"
    FontSpec font;
};

// A modal dialog whose state lives in the core; the Qt layer shows the matching window, the test
// fake runs a scripted answer on it. `kind()` tells them which window it is.
class ModalDialog {
public:
    virtual ~ModalDialog() = default;
    virtual const char* kind() const = 0;
};

class Ui {
public:
    virtual ~Ui() = default;
    // A modal message box; returns the button pressed (Answer::Ok for a single-button box).
    virtual Answer message(MsgKind kind, const std::string& text, const std::vector<Answer>& buttons) = 0;
    // The application's general error box, fed by a halyard::Error that ended a command.
    virtual void showError(const std::string& text) = 0;
    // File dialogs return a Windows path (host choices come back through the drive mapping).
    virtual std::optional<std::string> openFile(const FileDialog& dialog) = 0;
    virtual std::optional<std::string> saveFile(const FileDialog& dialog) = 0;
    virtual std::optional<std::string> chooseDirectory(const std::string& title,
                                                       const std::string& start) = 0;
    // Shows a core dialog modally; returns how it was closed.
    virtual Answer execute(ModalDialog& dialog) = 0;
    // The font dialog, sizes limited to minSize..maxSize points; nothing when cancelled.
    virtual std::optional<FontSpec> chooseFont(const FontSpec&, int /*minSize*/, int /*maxSize*/) {
        return std::nullopt;
    }
    // The print dialog; prints the job when confirmed. Returns Answer::Ok or Answer::Cancel.
    virtual Answer print(const PrintJob&) { return Answer::Cancel; }
    // The printer set-up dialog.
    virtual void printerSetup() {}

    // Conveniences for the most common boxes.
    void inform(const std::string& text) { message(MsgKind::Information, text, {Answer::Ok}); }
    void warn(const std::string& text) { message(MsgKind::Warning, text, {Answer::Ok}); }
};

// Per-user string values under Software\Orlin\Halyard.
class SettingsStore {
public:
    struct Value {
        bool exists = false;
        bool isString = true; // a value stored with another type cannot be read as text
        std::string text;
    };
    virtual ~SettingsStore() = default;
    virtual Value read(const std::string& name) = 0;
    // False when the store refuses the value.
    virtual bool write(const std::string& name, const std::string& text) = 0;
};

// A tool-chain batch started so that its output can be shown as the tools print it. Nothing here
// blocks: the owner calls pump() when descriptor() is readable or on a short timer.
class ToolChainRun {
public:
    virtual ~ToolChainRun() = default;
    // Hands every complete line printed since the last call to the line callback; once the batch has
    // ended, also its last unfinished line, after which ended() is true.
    virtual void pump() = 0;
    // As pump, but reads at most about maxBytes of what waits in the pipe, so that a tool printing
    // without pause cannot keep the caller from its other work; the rest comes with the next call.
    virtual void pumpSome(size_t /*maxBytes*/) { pump(); }
    // Readable when output arrives; -1 when there is none to watch.
    virtual int descriptor() const { return -1; }
    // Called when the descriptor is about to close (descriptor() already -1, the number not yet given
    // back to the system), so whoever watches it lets go first; never called from the destructor.
    virtual void onDescriptorClosing(std::function<void()> /*closing*/) {}
    virtual bool ended() const = 0;
    // The batch's exit code once it has ended; 128 + the signal for a batch that was ended by one.
    virtual int exitCode() const = 0;
    // Ends the batch and every program it started, within a short while; the end still comes
    // through pump().
    virtual void stop() = 0;
};

// Starts a program, a batch file or a document; never waits, reports nothing.
class Launcher {
public:
    virtual ~Launcher() = default;
    enum ShowMode { Hidden = 0, Shown = 5 };
    virtual void LaunchProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showMode) = 0;
    // Whether the batch file last started from this path is still running; false when the launcher
    // cannot tell.
    virtual bool batchRunning(const std::string& /*file*/) { return false; }
    // Starts a batch file or a program as LaunchProgram does (hidden), with its output and errors
    // going to onLine line by line; nullptr when this launcher cannot. One that cannot be started
    // gives a run that ends at once with the reason as its output.
    virtual std::unique_ptr<ToolChainRun>
    StartToolChainRun(const std::string& /*file*/, const std::string& /*parameters*/,
                      const std::string& /*directory*/, std::function<void(const std::string&)> /*onLine*/) {
        return nullptr;
    }
    // Whether a batch started shown gets a window of its own (a terminal) to show it in.
    virtual bool showsBatchWindows() { return true; }
    // The tool-chain folder (a Windows path) that batches started from now on take cl370, asm370,
    // mk370 and lnk370 from.
    virtual void setToolChainFolder(const std::string& /*dir*/) {}
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::filesystem::file_time_type now() const {
        return std::filesystem::file_time_type::clock::now();
    }
};

} // namespace halyard
