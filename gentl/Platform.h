// Process helpers used by the information queries and the modules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace GenTL {

// Copies the path of the file that contains address into buffer (cleared first) when it fits;
// otherwise, or when the loader cannot tell, leaves buffer as it was.
void GetModuleFileName(const void* address, char* buffer, size_t size);
std::string GetDirectorySeparator();
// Real-time clock in nanoseconds since the epoch; 0 when the clock cannot be read.
uint64_t GetTimeStamp();
std::string toupper(const std::string& text);

}  // namespace GenTL
