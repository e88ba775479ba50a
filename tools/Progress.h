// Progress of a grab: on a terminal one bar redrawn in place, elsewhere one plain line per frame.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace quarvo::tool {

class Progress {
public:
    Progress(std::ostream& out, bool terminal, uint64_t total) : m_out(out), m_terminal(terminal), m_total(total) {}
    ~Progress() { Finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // Whether standard output is a terminal.
    static bool OutputIsTerminal();

    // One more frame done; line describes it.
    void Frame(uint64_t done, const std::string& line);
    // Ends the bar's line (so that what follows starts on a line of its own).
    void Finish();

private:
    std::ostream& m_out;
    bool m_terminal;
    uint64_t m_total;
    bool m_drawn = false;
};

}  // namespace quarvo::tool
