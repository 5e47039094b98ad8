// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "compiler.h"

int main(int argc, char** argv) {
    using namespace halyard::sim370;
    return RunCl370({argv + 1, argv + argc}, ToolEnv::fromProcess(), std::cout);
}
