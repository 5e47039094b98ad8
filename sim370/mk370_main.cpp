// SPDX-License-Identifier: GPL-3.0-or-later
#include <filesystem>
#include <iostream>

#include "librarian.h"

int main(int argc, char** argv) {
    using namespace halyard::sim370;
    return RunMk370({argv + 1, argv + argc}, ToolEnv::fromProcess(), std::filesystem::current_path(),
                    std::cout);
}
