// Writes the SFNC camera's GenApi document to the file named by the one argument, for the schema
// validation test.
#include <cstdio>
#include <fstream>

#include "simulator/SfncDocument.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    const std::string& document = Quibbon::Sim::Sfnc::SfncDocument();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(document.data(), static_cast<std::streamsize>(document.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
