// A test hook of the viewer: QUARVO_VIEW_SCRIPT lists steps the viewer takes as if a person
// were at the keyboard, one step per turn of its loop, separated by ';':
//   frames N    wait until every camera has delivered N more frames than when the step before
//               was taken (paused or not), so frames a key such as t causes are counted; a
//               minute without them ends the viewer with an error rather than a hang
//   dump PATH   write the window as the display shows it to PATH.png (read back from SDL's
//               window surface), and what each tile shows and the status line to PATH.txt
//   KEY         press a key: space, s, t, f, h, q or escape (pushed as an SDL key event, so it
//               takes the path a real key press takes)
// Tests drive the viewer under a virtual X server with it; a person has no need of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarvo::tool {

class ViewerScript {
public:
    enum class Kind { Frames, Dump, Key };
    struct Step {
        Kind kind;
        std::string argument;  // the path or the key name
        uint64_t frames = 0;
    };
    // A step the caller is to take now.
    struct Action {
        Kind kind;
        std::string argument;
    };

    // The script in QUARVO_VIEW_SCRIPT; nothing when it is not set. Throws UsageError for a step
    // it does not know.
    static std::optional<ViewerScript> FromEnvironment();
    explicit ViewerScript(const std::string& text);

    // Advances the script by one step, given the fewest frames any camera has delivered so far.
    // Returns the dump or key to take now; nothing while a frame count is awaited or when done.
    // Throws when the frames awaited have not come within a minute.
    std::optional<Action> Next(uint64_t leastDelivered, std::chrono::steady_clock::time_point now);

private:
    std::vector<Step> m_steps;
    size_t m_next = 0;
    // The delivered count and the time when the step before was taken.
    std::optional<uint64_t> m_since;
    std::chrono::steady_clock::time_point m_sinceTime;
};

}  // namespace quarvo::tool
