// The producer exports exactly the GenTL C functions and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "support/ProducerLib.h"

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> symbols;
    const std::string command = "nm -D --defined-only '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        return symbols;
    }
    char line[1024];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        char address[64], kind[8], name[900];
        if (std::sscanf(line, "%63s %7s %899s", address, kind, name) == 3) {
            symbols.insert(name);
        }
    }
    return symbols;
}

TEST(Exports, OnlyTheGenTLFunctionsAreExported) {
#define QUARVO_NAME(name) #name,
    const std::set<std::string> expected{QUARVO_EXPORTED_FUNCTIONS(QUARVO_NAME)};
#undef QUARVO_NAME
    EXPECT_EQ(57u, expected.size());
    EXPECT_EQ(expected, DefinedDynamicSymbols(quarvo_test::BuiltProducerPath()));
}

}  // namespace
