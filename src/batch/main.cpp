// halyard-batch: runs the batch files Halyard writes (IDE.BAT, intvecs.bat) and small hand-written
// ones on systems without a Windows command processor.
#include <string>
#include <vector>

#include "build/batch_interpreter.h"

int main(int argc, char** argv) {
    return halyard::RunBatchCommand(std::vector<std::string>(argv + 1, argv + argc));
}
