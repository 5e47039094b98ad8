// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "assembler.h"

int main(int argc, char** argv) {
    using namespace halyard::sim370;
    return RunAsm370({argv + 1, argv + argc}, ToolEnv::fromProcess(), std::cout);
}
