// SPDX-License-Identifier: GPL-3.0-or-later
// The command-file language and the check before a link: reading, checking, and evaluating every
// expression the file assigns.
#include "fuzz_drive.h"
#include "linkcmd/cmd_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    fuzz::FuzzDrive& d = fuzz::drive();
    const std::string text = fuzz::bytesOf(data, size);
    (void)linkcmd::CheckCommandFile(text, "x.cmd", d.dd, "C:\\");
    linkcmd::Diagnostics diags;
    const linkcmd::CommandFile cf = linkcmd::ParseCommandFile(text, "x.cmd", diags);
    std::map<std::string, std::int64_t> syms;
    for (const auto& s : cf.sections)
        if (s.kind == linkcmd::OutputSpec::Assignment)
            if (auto v = linkcmd::EvalExpr(s.expr, 0x100, syms)) syms[s.name] = *v;
    return 0;
}
