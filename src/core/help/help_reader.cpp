// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_reader.h"

#include "launch/piped_child.h"
#include "launch/process.h"

namespace halyard {

using helpwire::Parser;
using helpwire::Request;
using helpwire::Status;
using helpwire::Writer;

std::string FindHelpReader() {
    return FindOwnProgram("halyard-help-reader");
}

HelpReader::HelpReader(std::filesystem::path file, std::string program)
    : HelpReader(std::move(file), std::move(program), Limits{}) {}

HelpReader::HelpReader(std::filesystem::path file, std::string program, Limits limits)
    : file_(std::move(file)), program_(std::move(program)), limits_(limits) {}

HelpReader::~HelpReader() = default;

int HelpReader::processId() const {
    return child_ ? child_->pid() : -1;
}

void HelpReader::stop() {
    child_.reset();
}

void HelpReader::fail(State state, const std::string& why) {
    state_ = state;
    problem_ = why;
    child_.reset();
}

bool HelpReader::open() {
    if (child_) return true;
    if (state_ != State::Unread && state_ != State::Good) return false;
    if (program_.empty()) {
        fail(State::NoReader, "halyard-help-reader was not found beside this program or on PATH.");
        return false;
    }
    std::string error;
    child_ = PipedChild::start(program_, {file_.string()}, error);
    if (!child_) {
        fail(State::NoReader, error);
        return false;
    }
    // The reader speaks first: what it made of the file.
    const auto hello = answer();
    if (!hello) {
        if (state_ == State::Unread) fail(State::Damaged, "its reader gave an answer that makes no sense");
        return false;
    }
    Parser p(*hello);
    title_ = p.text();
    defaultTopic_ = p.text();
    if (!p.ok() || !p.atEnd()) {
        fail(State::Damaged, "its reader gave an answer that makes no sense");
        return false;
    }
    state_ = State::Good;
    return true;
}

// The data of the next answer when its status is Ok; nothing when the file lacks what was asked
// or when the reader failed (the state then says so).
std::optional<std::string> HelpReader::answer() {
    const auto deadline = std::chrono::steady_clock::now() + limits_.answerTime;
    auto broken = [this](PipedChild::Io io) {
        const std::string how = child_->end();
        fail(State::Damaged,
             io == PipedChild::Io::TimedOut
                 ? "its reader gave no answer within " + std::to_string(limits_.answerTime.count()) + " ms"
                 : "its reader " + how);
        return std::nullopt;
    };
    char header[4];
    if (const auto io = child_->read(header, 4, deadline); io != PipedChild::Io::Done) return broken(io);
    const std::uint32_t length = helpwire::FrameLength(header);
    if (length == 0 || length > limits_.answerBytes) {
        fail(State::Damaged, "its reader gave an answer of " + std::to_string(length) + " bytes");
        return std::nullopt;
    }
    std::string payload(length, '\0');
    if (const auto io = child_->read(payload.data(), length, deadline); io != PipedChild::Io::Done)
        return broken(io);
    const auto status = static_cast<Status>(static_cast<std::uint8_t>(payload[0]));
    switch (status) {
    case Status::Ok:
        return payload.substr(1);
    case Status::Missing:
        return std::nullopt;
    case Status::NotHelpFile:
        fail(State::NotHelpFile, "it is missing or is no compiled help file");
        return std::nullopt;
    case Status::Damaged:
        fail(State::Damaged, payload.substr(1, 500));
        return std::nullopt;
    }
    fail(State::Damaged, "its reader gave an answer that makes no sense");
    return std::nullopt;
}

std::optional<std::string> HelpReader::ask(const Writer& request) {
    if (!open()) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + limits_.answerTime;
    if (const auto io = child_->write(request.frame(), deadline); io != PipedChild::Io::Done) {
        const std::string how = child_->end();
        fail(State::Damaged, "its reader " + how);
        return std::nullopt;
    }
    return answer();
}

namespace {

std::vector<SitemapEntry> entriesOf(const std::optional<std::string>& data, bool& ok) {
    ok = true;
    if (!data) return {};
    Parser p(*data);
    auto list = p.entries();
    ok = p.ok() && p.atEnd();
    return ok ? list : std::vector<SitemapEntry>{};
}

} // namespace

std::vector<SitemapEntry> HelpReader::contents() {
    bool ok;
    auto list = entriesOf(ask(Writer().u8(static_cast<std::uint8_t>(Request::Contents))), ok);
    if (!ok) fail(State::Damaged, "its reader gave an answer that makes no sense");
    return list;
}

std::vector<SitemapEntry> HelpReader::index() {
    bool ok;
    auto list = entriesOf(ask(Writer().u8(static_cast<std::uint8_t>(Request::Index))), ok);
    if (!ok) fail(State::Damaged, "its reader gave an answer that makes no sense");
    return list;
}

std::optional<std::string> HelpReader::topicForContext(std::uint32_t id) {
    return ask(Writer().u8(static_cast<std::uint8_t>(Request::Topic)).u32(id));
}

std::optional<std::string> HelpReader::read(const std::string& path) {
    if (path.size() > helpwire::MaxRequestSize - 8) return std::nullopt;
    return ask(Writer().u8(static_cast<std::uint8_t>(Request::File)).raw(path));
}

} // namespace halyard
