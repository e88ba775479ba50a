#pragma once

#include <string>

namespace GenTL {

// Longest message the composer produces; longer output is cut.
constexpr size_t kMaxMessageLength = 255;

// A pointer or handle as the library's texts show it: "0x" followed by its lower-case hexadecimal
// digits without leading zeros ("0x5600632e2420"; "0x0" for null).
std::string FormatPointer(const void* pointer);

// printf-style formatting into at most kMaxMessageLength characters. It knows "%s", "%%", "%p" and
// the integer conversions d, i, u, o, x and X, plain or with the length "l", "ll" or "I64" (a
// 64-bit argument); flags, width and precision are written as digits. "%p" prints its argument
// with FormatPointer; a "0x" written right before it belongs to the placeholder, so the texts'
// "0x%p" shows the prefix once. Any other conversion is copied as written and takes no argument.
std::string MsgComposer(const char* format, ...);

}  // namespace GenTL
