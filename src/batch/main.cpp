// SPDX-License-Identifier: GPL-3.0-or-later
// halyard-batch: runs the batch files Halyard writes (IDE.BAT, intvecs.bat) and small hand-written
// ones on systems without a Windows command processor.
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_interpreter.h"
#include "halyard_version.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Only as the sole argument: anything after a batch file's name belongs to the batch.
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << "usage: halyard-batch [--run-mark FILE] [/c] [/q] FILE.bat [arguments]\n"
                     "       halyard-batch [--run-mark FILE] /c [/q] COMMAND LINE\n"
                     "       halyard-batch --help | --version\n"
                     "\n"
                     "Runs a batch file the way Halyard's builds do on Linux. It knows @, REM, ECHO,\n"
                     "SET, %VAR%, CD, drive changes, CALL, GOTO, IF, PAUSE, EXIT, SHIFT, SETLOCAL,\n"
                     "TYPE, DEL, MD and the redirections >, >>, <, 2> and 2>&1; any other command is a\n"
                     "program found through the current folder and PATH, with Windows paths taken\n"
                     "through Halyard's drive mapping.\n"
                     "\n"
                     "  /c               run the file (or the command line) and end\n"
                     "  /q               turn echo off first\n"
                     "  --run-mark FILE  hold a lock on FILE for as long as the run lasts, so whoever\n"
                     "                   started it without waiting can tell when it has ended\n"
                     "  -h, --help       show this help and exit (only as the sole argument)\n"
                     "      --version    show the version and exit (only as the sole argument)\n"
                     "\n"
                     "The exit code is the error level at the end of the batch. See halyard-batch(1).\n";
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "halyard-batch " << HALYARD_VERSION << "\n" HALYARD_VERSION_NOTICE;
        return 0;
    }
    return halyard::RunBatchCommand(args);
}
