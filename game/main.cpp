#include <cstdio>
#include <string>
#include <vector>

#include "Program.h"

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "moltrix: %s\n%s", error.c_str(), usage());
        return EXIT_USAGE;
    }
    if (options->help) {
        std::fputs(usage(), stdout);
        return 0;
    }
    return runProgram(*options);
}
