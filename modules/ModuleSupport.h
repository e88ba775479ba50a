// Small helpers the module objects share.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "regmap/RegisterMap.h"

namespace GenTL {

// Stores text into the text block of blockSize bytes at address, cut so that it and its
// terminator stay inside the block.
inline void SetTextBlock(CRegisterMap& map, uint64_t address, uint64_t blockSize, const std::string& text) {
    map.SetMem(address, text.substr(0, blockSize - 1).c_str());
}

// Reads a text from the frame grabber through read(text, size) into a buffer of bufferSize bytes;
// an empty text when the read fails. The result never runs past the buffer.
template <class Read>
std::string ReadComponentText(Read read, uint64_t bufferSize) {
    std::vector<char> buffer(bufferSize + 1, '\0');
    uint64_t size = bufferSize;
    if (read(buffer.data(), &size) < 0) {
        return std::string();
    }
    return std::string(buffer.data());
}

// Replaces current by the records of fresh, keeping the old record object wherever an equal one
// is still listed (same(fresh, old)); new records follow the kept ones in their order. Returns
// whether records were added or dropped.
template <class Record, class Same>
bool MergeRecords(std::vector<Record>& current, std::vector<Record>& fresh, Same same) {
    std::vector<Record> old = std::move(current);
    current.clear();
    std::vector<Record> added;
    for (Record& record : fresh) {
        bool kept = false;
        for (auto it = old.begin(); it != old.end(); ++it) {
            if (same(record, *it)) {
                current.push_back(std::move(*it));
                old.erase(it);
                kept = true;
                break;
            }
        }
        if (!kept) {
            added.push_back(std::move(record));
        }
    }
    fresh.clear();
    const bool changed = !added.empty() || !old.empty();
    for (Record& record : added) {
        current.push_back(std::move(record));
    }
    return changed;
}

}  // namespace GenTL
