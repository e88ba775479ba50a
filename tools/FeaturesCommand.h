// quarvo features: the GenApi category tree of one module with each feature's value, access mode,
// unit and range.
#pragma once

#include <set>
#include <string>

#include "consumer/FeatureAccess.h"
#include "tools/Command.h"
#include "tools/FailureLog.h"

namespace quarvo::tool {

class FeaturesCommand : public Command {
public:
    FeaturesCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    void Print(FeatureAccess& features, const std::string& name, size_t depth, std::set<std::string>& shown,
               FailureLog& failures);

    std::string m_device;
    std::string m_module = "remote";
};

}  // namespace quarvo::tool
