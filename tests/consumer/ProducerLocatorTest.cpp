// Where the consumer finds its producer: the named file first, then the first folder of
// GENICAM_GENTL64_PATH that holds a .cti (the first by name within it), then the Quarvo.cti
// beside the program or in ../lib/quarvo relative to it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "consumer/ProducerLocator.h"
#include "tool/ScratchFolder.h"

namespace fs = std::filesystem;

namespace quarvo_test {
namespace {

class Locator : public ::testing::Test {
protected:
    std::string Touch(const std::string& relative) {
        const fs::path file = fs::path(root.Path()) / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "";
        return file.string();
    }
    std::string Folder(const std::string& relative) {
        fs::create_directories(fs::path(root.Path()) / relative);
        return (fs::path(root.Path()) / relative).string();
    }
    std::string Find(const std::string& named, const std::string& searchPath, const std::string& program) {
        return quarvo::ProducerLocator(named, searchPath, program).Find();
    }

    ScratchFolder root;
};

TEST_F(Locator, FollowsTheOrderOfPlaces) {
    const std::string installed = Touch("usr/lib/quarvo/Quarvo.cti");
    const std::string program = Folder("usr/bin");
    EXPECT_EQ(installed, Find("", "", program));
    const std::string beside = Touch("usr/bin/Quarvo.cti");
    EXPECT_EQ(beside, Find("", "", program));
    // GENICAM_GENTL64_PATH: empty entries and folders without a .cti are passed over.
    Touch("gentl/b/Zeta.cti");
    const std::string first = Touch("gentl/b/Alpha.cti");
    Touch("gentl/c/Other.cti");
    const std::string searchPath = "::" + Folder("gentl/a") + ":" + root.Path() + "/gentl/b:" + root.Path() + "/gentl/c";
    EXPECT_EQ(first, Find("", searchPath, program));
    const std::string named = Touch("elsewhere/Mine.cti");
    EXPECT_EQ(named, Find(named, searchPath, program));
}

TEST_F(Locator, SaysWhereItLooked) {
    try {
        Find("", Folder("empty"), Folder("bin"));
        FAIL() << "found a producer in an empty tree";
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        EXPECT_NE(std::string::npos, message.find("holds no .cti file")) << message;
        EXPECT_NE(std::string::npos, message.find(root.Path() + "/lib/quarvo/Quarvo.cti")) << message;
        EXPECT_NE(std::string::npos, message.find("--cti")) << message;
    }
    EXPECT_THROW(Find(root.Path() + "/missing.cti", "", ""), std::runtime_error);
}

}  // namespace
}  // namespace quarvo_test
