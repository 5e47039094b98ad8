// SPDX-License-Identifier: GPL-3.0-or-later
// halyard-help-reader: reads one compiled help file for Halyard's help window, in a process of its
// own. chmlib is old C code that trusts what the file says; a file anyone may have put in place can
// crash it, loop it or make it allocate without end. Here that costs only this process: its memory
// and time are limited, and Halyard, which asks over standard input and output, sees it end and
// calls the file damaged.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "halyard_version.h"
#include "help/chm_file.h"
#include "help/help_protocol.h"
#include "help/page_limits.h"

namespace {

using namespace halyard;
using helpwire::Request;
using helpwire::Status;
using helpwire::Writer;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

void limitThisProcess() {
    auto limit = [](int resource, rlim_t value) {
        const rlimit r{value, value};
        ::setrlimit(resource, &r);
    };
    // Far above what any help file needs (chmlib's window and cache are a few MB), far below what
    // hurts the machine. The sanitizers reserve terabytes of address space up front, so a sanitizer
    // build goes without this one limit.
    if (!Sanitized) limit(RLIMIT_AS, rlim_t(512) << 20);
    // Halyard stops a reader that takes more than a few seconds over an answer; this ends one that
    // loops after Halyard itself is gone.
    limit(RLIMIT_CPU, 300);
    limit(RLIMIT_FSIZE, 0); // it writes no file
    limit(RLIMIT_CORE, 0);  // and leaves no core of a crash
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) std::exit(0);
#endif
}

bool readAll(int fd, char* into, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(fd, into, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        into += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool send(const Writer& answer) {
    const std::string bytes = answer.frame();
    const char* at = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(1, at, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

Writer status(Status s) {
    Writer w;
    w.u8(static_cast<std::uint8_t>(s));
    return w;
}

Writer answer(const ChmFile& chm, const std::string& request) {
    helpwire::Parser p(request);
    const auto kind = static_cast<Request>(p.u8());
    switch (kind) {
    case Request::Info:
        return status(Status::Ok).text(chm.title).text(chm.defaultTopic);
    case Request::Contents:
    case Request::Index: {
        const std::string& name = kind == Request::Contents ? chm.contentsFile : chm.indexFile;
        const auto text = name.empty() ? std::nullopt : chm.read(name);
        if (!text) return status(Status::Missing);
        return status(Status::Ok).entries(ParseSitemap(*text));
    }
    case Request::Topic: {
        const std::uint32_t id = p.u32();
        const auto topic = p.ok() ? chm.topicForContext(id) : std::nullopt;
        return topic ? status(Status::Ok).raw(*topic) : status(Status::Missing);
    }
    case Request::File: {
        const auto bytes = chm.read(p.rest());
        if (!bytes) return status(Status::Missing);
        // A picture whose header claims more pixels than the window would ever decode is not sent:
        // a few bytes of a crafted file must not become gigabytes there.
        const HelpPageLimits limits;
        if (const auto size = PictureSize(*bytes);
            size && std::uint64_t(size->first) * size->second > limits.picturePixels)
            return status(Status::Missing);
        return status(Status::Ok).raw(*bytes);
    }
    }
    return status(Status::Missing);
}

} // namespace

int main(int argc, char** argv) {
    const std::string arg = argc == 2 ? argv[1] : "";
    if (arg == "--version") {
        std::cout << "halyard-help-reader " << HALYARD_VERSION << "\n" HALYARD_VERSION_NOTICE;
        return 0;
    }
    if (argc != 2 || arg == "--help" || arg == "-h") {
        (argc == 2 ? std::cout : std::cerr)
            << "usage: halyard-help-reader FILE.chm\n"
               "\n"
               "Reads a compiled help file for Halyard's help window, which starts it and asks\n"
               "it over standard input and output, each message a four-byte length and that\n"
               "many bytes. It runs with its memory and time limited, so that a damaged file\n"
               "costs only this process.\n";
        return argc == 2 ? 0 : 2;
    }
    limitThisProcess();
    std::string damage;
    const auto chm = ChmFile::open(arg, &damage);
    if (!chm) {
        send(damage.empty() ? status(Status::NotHelpFile) : status(Status::Damaged).raw(damage));
        return 0;
    }
    if (!send(answer(*chm, std::string(1, static_cast<char>(Request::Info))))) return 0;
    for (;;) {
        char header[4];
        if (!readAll(0, header, 4)) return 0; // Halyard closed the help window
        const std::uint32_t length = helpwire::FrameLength(header);
        if (length == 0 || length > helpwire::MaxRequestSize) return 2;
        std::string request(length, '\0');
        if (!readAll(0, request.data(), length)) return 0;
        if (!send(answer(*chm, request))) return 0;
    }
}
