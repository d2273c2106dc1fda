#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

#include "Simulator.h"
#include "StopSignals.h"

namespace {

const char* const USAGE = "usage: qor-sim --config FILE --record FILE --slave-file FILE\n";

std::optional<Options> parseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--config") {
            options.configPath = argv[i + 1];
        } else if (name == "--record") {
            options.recordPath = argv[i + 1];
        } else if (name == "--slave-file") {
            options.slaveFile = argv[i + 1];
        } else {
            return std::nullopt;
        }
    }
    const bool complete = argc % 2 == 1 && !options.configPath.empty() && !options.recordPath.empty() &&
                          !options.slaveFile.empty();
    if (!complete) {
        return std::nullopt;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        std::cerr << USAGE;
        return 2;
    }
    try {
        const StopSignals signals;
        Simulator simulator(*options);
        simulator.run(signals);
    } catch (const std::exception& error) {
        std::cerr << "qor-sim: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
