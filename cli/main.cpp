#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    return tovra::cli::RunCli(argc, argv, std::cin, std::cout, std::cerr);
}
