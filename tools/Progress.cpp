#include "tools/Progress.h"

#include <unistd.h>

namespace quarvo::tool {

namespace {

constexpr uint64_t kBarWidth = 30;

}  // namespace

bool Progress::OutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

void Progress::Frame(uint64_t done, const std::string& line) {
    if (!m_terminal) {
        m_out << line << '\n';
        return;
    }
    const uint64_t filled = m_total == 0 ? 0 : done * kBarWidth / m_total;
    m_out << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "] " << done << "/" << m_total
          << std::flush;
    m_drawn = true;
}

void Progress::Finish() {
    if (m_drawn) {
        m_out << '\n';
        m_drawn = false;
    }
}

}  // namespace quarvo::tool
