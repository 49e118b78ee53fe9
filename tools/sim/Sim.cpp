// rondovar-sim [--step MS] [--ms TOTAL] [--seed N] [--views] [--drive P COMMAND]... [--keys FILE]
//              [--solutions DIR] (LEVEL | --campaign NAME [--start N])
#include <iostream>
#include <string>
#include <vector>

#include "headless/Simulation.h"
#include "platform/FileSearch.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return rdv::RunSimulator(args, rdv::ProgramFolder(), std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "rondovar-sim: " << e.what() << "\n";
        return 3;
    }
}
