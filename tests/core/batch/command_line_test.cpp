// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting command-line texts into arguments: the Windows program rules and the batch rules.
#include <gtest/gtest.h>

#include "batch/batch_interpreter.h"
#include "launch/windows_command_line.h"

namespace halyard {
namespace {

struct SplitCase {
    const char* text;
    std::vector<std::string> args;
};

TEST(WindowsCommandLine, SplitsLikeCommandLineToArgvW) {
    const SplitCase cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"-g -ms  C:\\work\\main.c", {"-g", "-ms", "C:\\work\\main.c"}},
        {"-z C:\\TexasSource\\lnk.cmd   -a -c ", {"-z", "C:\\TexasSource\\lnk.cmd", "-a", "-c"}},
        {"\"C:\\Program Files\\x.c\" b", {"C:\\Program Files\\x.c", "b"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        // Backslashes are literal unless they precede a quote.
        {"C:\\dir\\ x", {"C:\\dir\\", "x"}},
        {"a\\\\b", {"a\\\\b"}},
        {"\"C:\\dir\\\\\" x", {"C:\\dir\\", "x"}},
        {"a\\\"b", {"a\"b"}},
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"\"a\\\"b c\"", {"a\"b c"}},
        // Inside a group "" is a literal quote that ends the group; """ outside gives one quote.
        {"\"a\"\"b c\"", {"a\"b", "c"}},
        {"\"\"\"a\"\"\"", {"\"a\""}},
        {"\"unclosed group", {"unclosed group"}},
        {"tab\tseparated", {"tab", "separated"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitWindowsCommandLine(c.text), c.args) << c.text;
}

TEST(BatchArguments, SplitOnBatchSeparatorsAndKeepQuotes) {
    const SplitCase cases[] = {
        {"", {}},
        {"a b", {"a", "b"}},
        {"a,b;c=d\te", {"a", "b", "c", "d", "e"}},
        {"\"a b\" c", {"\"a b\"", "c"}},
        {"\"a,b=c\"", {"\"a,b=c\""}},
        {"  lead  trail  ", {"lead", "trail"}},
        {"x\"y z\"w", {"x\"y z\"w"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitBatchArguments(c.text), c.args) << c.text;
}

} // namespace
} // namespace halyard
