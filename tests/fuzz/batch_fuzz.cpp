// SPDX-License-Identifier: GPL-3.0-or-later
// The batch interpreter runs the input as C:\t.bat on the temporary drive. It starts no program,
// and a batch that loops or grows its lines without end is stopped by its limits: at most 2000
// commands, and the command processor's 8,191 characters a line.
#include <cstdlib>
#include <fcntl.h>

#include "batch/batch_interpreter.h"
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    static const int nullIn = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    static const int nullOut = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    fuzz::FuzzDrive& d = fuzz::drive();
    d.reset();
    d.dd.writeBytes("C:\\t.bat", fuzz::bytesOf(data, size));
    BatchInterpreter bi(d.dd, {"PATH=C:\\", "COMSPEC=C:\\cmd.exe"}, {nullIn, nullOut, nullOut});
    // The command processor's own line limit keeps "set X=%X%%X%" from growing: no variable can be
    // longer than one line.
    bi.setLimits({false, 2000});
    bi.runFile("C:\\t.bat", {"a", "\"b c\""});
    for (const auto& entry : bi.environment())
        if (entry.size() > 2 * BatchLimits::LineLimit + 1) std::abort();
    d.checkContained();
    return 0;
}
