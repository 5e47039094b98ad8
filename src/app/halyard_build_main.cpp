// halyard-build: the headless Halyard, for scripts and continuous integration.
#include <iostream>

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::cerr << "usage: halyard-build --help\n";
    return 2;
}
