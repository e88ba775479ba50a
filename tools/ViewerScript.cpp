#include "tools/ViewerScript.h"

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <sstream>

#include "consumer/Errors.h"

namespace quarvo::tool {

namespace {

// How long a frames step waits: far beyond any camera the tests run, short of a hung suite.
constexpr auto kFramesLimit = std::chrono::minutes(1);

ViewerScript::Step ParseStep(const std::string& text) {
    static const std::set<std::string> kKeys = {"space", "s", "t", "f", "h", "q", "escape"};
    std::istringstream words(text);
    std::string word, argument, extra;
    words >> word >> argument >> extra;
    if (word == "frames" && !argument.empty() && extra.empty() &&
        argument.find_first_not_of("0123456789") == std::string::npos) {
        return {ViewerScript::Kind::Frames, "", std::stoull(argument)};
    }
    if (word == "dump" && !argument.empty() && extra.empty()) {
        return {ViewerScript::Kind::Dump, argument};
    }
    if (kKeys.count(word) != 0 && argument.empty()) {
        return {ViewerScript::Kind::Key, word};
    }
    throw UsageError("QUARVO_VIEW_SCRIPT: cannot take the step '" + text + "'");
}

}  // namespace

std::optional<ViewerScript> ViewerScript::FromEnvironment() {
    const char* text = std::getenv("QUARVO_VIEW_SCRIPT");
    if (text == nullptr) {
        return std::nullopt;
    }
    return ViewerScript(text);
}

ViewerScript::ViewerScript(const std::string& text) {
    std::istringstream steps(text);
    std::string step;
    while (std::getline(steps, step, ';')) {
        if (step.find_first_not_of(" \t\n") != std::string::npos) {
            m_steps.push_back(ParseStep(step));
        }
    }
}

std::optional<ViewerScript::Action> ViewerScript::Next(uint64_t leastDelivered,
                                                        std::chrono::steady_clock::time_point now) {
    if (!m_since) {
        m_since = leastDelivered;
        m_sinceTime = now;
    }
    if (m_next == m_steps.size()) {
        return std::nullopt;
    }
    const Step& step = m_steps[m_next];
    if (step.kind == Kind::Frames && leastDelivered < *m_since + step.frames) {
        if (now - m_sinceTime > kFramesLimit) {
            throw std::runtime_error("QUARVO_VIEW_SCRIPT: step 'frames " + std::to_string(step.frames) +
                                     "' not reached within a minute");
        }
        return std::nullopt;
    }
    ++m_next;
    m_since = leastDelivered;
    m_sinceTime = now;
    if (step.kind == Kind::Frames) {
        return std::nullopt;
    }
    return Action{step.kind, step.argument};
}

}  // namespace quarvo::tool
