// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs one of the programs built beside the tests, as a user's shell would, and keeps what it
// printed on each stream and its exit code.
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace halyard::test {

struct Result {
    int code = -1;
    std::string out, err;
};

inline std::string quote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// env: "NAME=value ..." put in front of the command; standard error goes through a file in dir.
inline Result RunProgram(const std::filesystem::path& dir, const std::string& program,
                         const std::vector<std::string>& args, const std::string& env = "") {
    std::string cmd = env + " " + quote((std::filesystem::path(HALYARD_BIN_DIR) / program).string());
    for (const auto& a : args)
        cmd += " " + quote(a);
    const std::filesystem::path err = dir / "stderr.txt";
    cmd += " 2>" + quote(err.string());
    Result r;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer;
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        r.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    r.err = text.str();
    return r;
}

// A private home with the sample laid out in it: the drive mapping and the settings file of every
// program started here, removed afterwards.
class SampleHome : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("halyard-e2e-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir / "data");
        std::filesystem::create_directories(dir / "config");
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        const Result sample = run("halyard-sample", {});
        ASSERT_EQ(sample.code, 0) << sample.out << sample.err;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    Result run(const std::string& program, const std::vector<std::string>& args) const {
        return RunProgram(dir, program, args);
    }
    std::filesystem::path dir;
};

} // namespace halyard::test
