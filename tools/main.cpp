// quarvo: lists, inspects, configures, grabs from and shows live any GenTL producer's cameras.
// Exit codes: 0 success, 1 a GenTL or GenApi failure (also one a command carried on past), 2 bad usage.
// quarvo keeps nothing between runs: each run meets the camera as the producer gives it.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <vector>

#include "consumer/Errors.h"
#include "tools/BenchCommand.h"
#include "tools/FeaturesCommand.h"
#include "tools/GetCommand.h"
#include "tools/GrabCommand.h"
#include "tools/InfoCommand.h"
#include "tools/ListCommand.h"
#include "tools/RigCommand.h"
#include "tools/SetCommand.h"
#include "tools/ViewCommand.h"

namespace {

constexpr int kFailure = 1;
constexpr int kBadUsage = 2;

int Execute(quarvo::tool::Command& command) {
    try {
        command.Run();
        return 0;
    } catch (const quarvo::UsageError& error) {
        std::cerr << "quarvo: " << error.what() << "\n";
        return kBadUsage;
    } catch (const std::exception& error) {
        std::cerr << "quarvo: " << error.what() << "\n";
        return kFailure;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"quarvo: list, inspect, configure, grab from and view a GenTL producer.\n"
                 "The producer is the --cti file, else the first .cti in GENICAM_GENTL64_PATH, else the Quarvo.cti "
                 "beside this program or in ../lib/quarvo.\n"
                 "Nothing is kept between runs: lasting camera settings belong in a rig file; grab and bench take "
                 "--set for their run.\n"
                 "Exit codes: 0 success, 1 GenTL or GenApi failure (also one a command carried on past), 2 bad usage."};
    app.require_subcommand(1, 1);
    app.fallthrough();
    quarvo::tool::GlobalOptions global;
    app.add_option("--cti", global.cti, "The GenTL producer (.cti) to load");

    std::vector<std::unique_ptr<quarvo::tool::Command>> commands;
    commands.push_back(std::make_unique<quarvo::tool::ListCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::InfoCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::FeaturesCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::GetCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::SetCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::GrabCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::BenchCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::RigCommand>(app, global));
    commands.push_back(std::make_unique<quarvo::tool::ViewCommand>(app, global));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : kBadUsage;
    }
    for (const auto& command : commands) {
        if (command->Chosen()) {
            return Execute(*command);
        }
    }
    return kBadUsage;
}
