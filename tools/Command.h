// One subcommand of the quarvo tool: it declares its options on its CLI11 subcommand and runs
// when the user chose it. Run throws UsageError for requests it cannot understand, GenTLError and
// GenApiError for what the producer or GenApi refused.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace quarvo::tool {

// Options of the main command that every subcommand sees.
struct GlobalOptions {
    std::string cti;  // the producer the user named, or empty
};

class Command {
public:
    virtual ~Command() = default;
    bool Chosen() const { return m_p_app->parsed(); }
    virtual void Run() = 0;

protected:
    Command(CLI::App& parent, const std::string& name, const std::string& description, const GlobalOptions& global)
        : m_p_app(parent.add_subcommand(name, description)), m_global(global) {}

    CLI::App& App() { return *m_p_app; }
    const GlobalOptions& Global() const { return m_global; }

private:
    CLI::App* m_p_app;
    const GlobalOptions& m_global;
};

}  // namespace quarvo::tool
