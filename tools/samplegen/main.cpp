// plyvet-samplegen: writes the demo sample and other generated shapefiles.
#include "tools/samplegen/samplegen.h"

#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return plyvet::samplegen::runCommandLine(args, std::cout, std::cerr);
}
