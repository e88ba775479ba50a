// How the component hands texts and values to its caller: through a buffer and a 64-bit size
// that states the room on entry and the bytes needed or written on return.
#pragma once

#include <cstdint>
#include <string>

namespace Quibbon::Sim {

// Copies text and its terminator into buffer when *size holds it; a null buffer only reports the
// size needed. Nothing is written on failure.
int32_t CopyText(const std::string& text, char* buffer, uint64_t* size);
// Copies a value of bytes bytes into buffer when *size holds it (same protocol as CopyText).
int32_t CopyValue(const void* value, uint64_t bytes, void* buffer, uint64_t* size);

}  // namespace Quibbon::Sim
