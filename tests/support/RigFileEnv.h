// A rig file for the frame grabber while it lives: written to a scratch folder and named by
// QUARVO_RIG. The producer itself reads no environment variable; the component does when it
// builds its rig, that is at TLOpen when no system object of it is alive.
#pragma once

#include <cstdlib>
#include <string>

#include "tests/simulator/TempFiles.h"

namespace quarvo_test {

class RigFile {
public:
    explicit RigFile(const std::string& text) : m_path(m_folder.WriteText("rig.toml", text)) {
        setenv("QUARVO_RIG", m_path.c_str(), 1);
    }
    ~RigFile() { unsetenv("QUARVO_RIG"); }
    RigFile(const RigFile&) = delete;
    RigFile& operator=(const RigFile&) = delete;
    const std::string& Path() const { return m_path; }
    const sim_test::TempFolder& Folder() const { return m_folder; }

private:
    sim_test::TempFolder m_folder;
    std::string m_path;
};

}  // namespace quarvo_test
