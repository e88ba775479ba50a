// Finding libQuibbon.so: the search order, the failure text, and loading the built component.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framegrabber/QuibbonLoader.h"
#include "support/ProducerLib.h"

namespace {

namespace fs = std::filesystem;
using GenTL::CQuibbonLoader;
using GenTL::GetQuibbonSearchPaths;
using Strings = std::vector<std::string>;

// A scratch directory, removed with the test, holding a file named like the component.
struct ScratchDir {
    fs::path path = fs::temp_directory_path() / ("quibbon-loader-" + std::to_string(::getpid()));
    ScratchDir() { fs::create_directories(path); }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string Component() const { return (path / "libQuibbon.so").string(); }
};

TEST(QuibbonLoaderTest, SearchesOwnDirectoryThenTwoAboveThenTheFixedOne) {
    EXPECT_EQ(GetQuibbonSearchPaths("/opt/q/lib/Quarvo.cti", ""),
              (Strings{"/opt/q/lib/libQuibbon.so", "/opt/q/lib/../../libQuibbon.so"}));
    EXPECT_EQ(GetQuibbonSearchPaths("/opt/q/lib/Quarvo.cti", "/usr/genicam/bin/"),
              (Strings{"/opt/q/lib/libQuibbon.so", "/opt/q/lib/../../libQuibbon.so", "/usr/genicam/bin/libQuibbon.so"}));
    EXPECT_EQ(GetQuibbonSearchPaths("Quarvo.cti", ""), (Strings{"./libQuibbon.so", "./../../libQuibbon.so"}));
    EXPECT_EQ(GetQuibbonSearchPaths("", "/g"), (Strings{"/g/libQuibbon.so"}));
}

TEST(QuibbonLoaderTest, MissingComponentFailsWithATextNamingIt) {
    CQuibbonLoader loader({"/nonexistent/a/libQuibbon.so", "/nonexistent/b/libQuibbon.so"});
    std::string error;
    EXPECT_FALSE(loader.Load(error));
    EXPECT_EQ(error.rfind("Unable to load libQuibbon.so: ", 0), 0u) << error;
    EXPECT_NE(error.find("/nonexistent/b/libQuibbon.so"), std::string::npos) << error;
    Quibbon::ISystem* system = reinterpret_cast<Quibbon::ISystem*>(1);
    loader.GetSystem(&system);
    EXPECT_EQ(system, nullptr);
}

TEST(QuibbonLoaderTest, UnusableFilesAreReportedAndSkipped) {
    ScratchDir scratch;
    std::ofstream(scratch.Component()) << "not a library";
    std::string error;
    CQuibbonLoader broken({scratch.Component(), quarvo_test::BuiltProducerPath()});
    EXPECT_FALSE(broken.Load(error));
    EXPECT_EQ(error.rfind("Unable to load libQuibbon.so: ", 0), 0u) << error;
    EXPECT_NE(error.find(scratch.Component()), std::string::npos) << error;

    CQuibbonLoader skipping({scratch.Component(), "/nonexistent/libQuibbon.so",
                             quarvo_test::BuiltSimulatorPath()});
    ASSERT_TRUE(skipping.Load(error)) << error;
    EXPECT_EQ(skipping.LoadedPath(), quarvo_test::BuiltSimulatorPath());
}

TEST(QuibbonLoaderTest, FirstUsableCandidateWins) {
    ScratchDir scratch;
    fs::copy_file(quarvo_test::BuiltSimulatorPath(), scratch.Component());
    CQuibbonLoader loader({scratch.Component(), quarvo_test::BuiltSimulatorPath()});
    std::string error;
    ASSERT_TRUE(loader.Load(error)) << error;
    EXPECT_EQ(loader.LoadedPath(), scratch.Component());
    Quibbon::ISystem* system = nullptr;
    loader.GetSystem(&system);
    ASSERT_NE(system, nullptr);
    uint32_t count = 0;
    EXPECT_EQ(system->GetNumInterfaces(&count), Quibbon::kOk);
    EXPECT_EQ(count, 2u);
    system->Release();
}

TEST(QuibbonLoaderTest, ProducerLoaderFindsTheComponentBesideItsFile) {
    // The test executable is built into the directory that holds libQuibbon.so.
    std::string error;
    ASSERT_TRUE(GenTL::LoadQuibbon(error)) << error;
    Quibbon::ISystem* system = nullptr;
    GenTL::GetQuibbonSystem(&system);
    ASSERT_NE(system, nullptr);
    system->Release();
    GenTL::GetQuibbonSystem(nullptr);
}

}  // namespace
