// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs batch texts through the interpreter on a temporary drive mapping and collects what they
// write. Output goes through pipes, as it does to a terminal or to halyard-build.
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "batch/batch_interpreter.h"
#include "support/fakes.h"

namespace halyard::test {

// Reads everything a descriptor delivers until all its writers are gone.
inline std::string drain(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    return out;
}

inline void makeExecutable(const std::filesystem::path& p) {
    std::filesystem::permissions(p, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
}

struct BatchRun {
    std::string out, err;
    int code = 0;
};

class BatchFixture : public ::testing::Test {
protected:
    TempDrives drives;

    void SetUp() override {
        drives.dd.createDirs("C:\\work");
        drives.dd.setCurrentDirectory("C:\\work");
    }

    // A native program on the temporary drive: a shell script, so that it runs without a build.
    void putScript(const std::string& winPath, const std::string& body) {
        makeExecutable(drives.put(winPath, "#!/bin/sh\n" + body));
    }

    // Runs text as C:\work\t.bat; input is what the batch reads on its standard input.
    BatchRun run(const std::string& text, const std::vector<std::string>& args = {},
                 const std::vector<std::string>& env = {"PATH=C:\\tools"}, const std::string& input = "") {
        drives.put("C:\\work\\t.bat", text);
        return runWith([&](BatchInterpreter& bi) { return bi.runFile("C:\\work\\t.bat", args); }, env, input);
    }

    template <class F>
    BatchRun runWith(F body, const std::vector<std::string>& env, const std::string& input = "") {
        int out[2], err[2], in[2];
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(::write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        ::close(in[1]);
        BatchRun r;
        {
            BatchInterpreter bi(drives.dd, env, {in[0], out[1], err[1]});
            bi.setEcho(echo);
            r.code = body(bi);
            lastCwd = drives.dd.currentDirectory();
        }
        ::close(out[1]);
        ::close(err[1]);
        ::close(in[0]);
        r.out = drain(out[0]);
        r.err = drain(err[0]);
        ::close(out[0]);
        ::close(err[0]);
        return r;
    }

    std::string file(const std::string& winPath) { return drives.dd.readBytes(winPath); }

    bool echo = false;
    std::string lastCwd;
};

} // namespace halyard::test
