// Runs the built quarvo tool as a user does: a separate process with its own settings folder,
// standard output and error captured, no GENICAM_GENTL64_PATH (so it finds the producer beside
// itself) unless the test gives one.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tool/ScratchFolder.h"

namespace quarvo_test {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// environment: variables to set (an empty value removes the variable).
ToolRun RunTool(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = {});

// The path of one of the producers built for the tool's tests (FailingInterface, ...).
std::string TestProducer(const std::string& name);

}  // namespace quarvo_test
