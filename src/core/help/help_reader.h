// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help window's way into a help file: a process of Halyard's own (halyard-help-reader) reads
// the file with chmlib, under limits on its memory and time, and answers over a pipe. Whatever a
// crafted file does to that process (a crash, a loop, an answer without end) ends that process
// only: the file then counts as damaged and every later request is refused at once. The process is
// started by the first request and kept until stop().
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "help/help_protocol.h"
#include "help/sitemap.h"

namespace halyard {

class PipedChild;

// The help reader beside the running program, else on $PATH; empty when there is none.
std::string FindHelpReader();

class HelpReader {
public:
    struct Limits {
        std::chrono::milliseconds answerTime{5000}; // for each answer, the first one with the opening
        std::uint32_t answerBytes = 48u << 20;      // larger than any page, picture or contents list
    };
    enum class State { Unread, Good, NotHelpFile, Damaged, NoReader };

    explicit HelpReader(std::filesystem::path file, std::string program = FindHelpReader());
    HelpReader(std::filesystem::path file, std::string program, Limits limits);
    ~HelpReader();
    HelpReader(const HelpReader&) = delete;
    HelpReader& operator=(const HelpReader&) = delete;

    // Starts the reader when it is not running; false when the file cannot be shown (state() and
    // problem() tell why).
    bool open();
    State state() const { return state_; }
    // Why the file cannot be shown: the reader's own words about the file, or how it ended.
    const std::string& problem() const { return problem_; }
    const std::string& title() const { return title_; }
    const std::string& defaultTopic() const { return defaultTopic_; }

    // Each gives nothing (or an empty list) when the file lacks it or cannot be read.
    std::vector<SitemapEntry> contents();
    std::vector<SitemapEntry> index();
    std::optional<std::string> topicForContext(std::uint32_t id);
    std::optional<std::string> read(const std::string& path);

    // Ends the reader process; the next request starts it again.
    void stop();
    bool running() const { return child_ != nullptr; }
    // The reader process's id while it runs, else -1.
    int processId() const;

private:
    std::optional<std::string> ask(const helpwire::Writer& request);
    std::optional<std::string> answer();
    void fail(State state, const std::string& why);

    std::filesystem::path file_;
    std::string program_;
    Limits limits_;
    std::unique_ptr<PipedChild> child_;
    State state_ = State::Unread;
    std::string problem_, title_, defaultTopic_;
};

} // namespace halyard
