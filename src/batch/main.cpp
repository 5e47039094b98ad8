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
        std::cout
            << "usage: halyard-batch [--run-mark FILE] [/c] FILE.bat [arguments]\n"
               "       halyard-batch [--run-mark FILE] /c COMMAND LINE\n"
               "       halyard-batch --help | --version\n"
               "\n"
               "Runs a batch file the way Halyard's builds do on Linux. It knows @, REM, ECHO, SET, %VAR%,\n"
               "CD, drive changes, CALL, GOTO, IF, PAUSE, EXIT, SHIFT, SETLOCAL, TYPE, DEL, MD and the\n"
               "redirections >, >>, <, 2> and 2>&1; any other command is a program found through the\n"
               "current folder and PATH, with Windows paths taken through Halyard's drive mapping.\n"
               "/c runs the file (or the command line) and ends; /q also turns echo off.\n"
               "--run-mark FILE holds a lock on FILE for as long as the run lasts, so whoever started\n"
               "it without waiting can tell when it has ended.\n"
               "\n"
               "The exit code is the error level at the end of the batch. See halyard-batch(1).\n";
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "halyard-batch " << HALYARD_VERSION << '\n';
        return 0;
    }
    return halyard::RunBatchCommand(args);
}
