// SPDX-License-Identifier: GPL-3.0-or-later
// The batch interpreter runs the input as C:\t.bat on the temporary drive. It starts no program,
// and a batch that loops or grows its lines without end is stopped by its limits.
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
    bi.setLimits({false, 2000, 1 << 16});
    bi.runFile("C:\\t.bat", {"a", "\"b c\""});
    d.checkContained();
    return 0;
}
