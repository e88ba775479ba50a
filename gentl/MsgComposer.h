#pragma once

#include <string>

namespace GenTL {

// Longest message the composer produces; longer output is cut.
constexpr size_t kMaxMessageLength = 255;

// A pointer or handle as the library's texts show it: "0x" followed by its lower-case hexadecimal
// digits without leading zeros ("0x5600632e2420"; "0x0" for null).
std::string FormatPointer(const void* pointer);

// printf-style formatting into at most kMaxMessageLength characters. It knows "%s", "%c", "%%",
// "%p", the integer conversions d, i, u, o, x and X (plain, with "h", "hh", "l", "ll", "z", "j",
// "t", or "I64" for a 64-bit argument) and the floating conversions f, e and g; flags, width and
// precision are written as digits. "%p" prints its argument with FormatPointer; a "0x" written
// right before it belongs to the placeholder, so the texts' "0x%p" shows the prefix once. Widths
// or precisions given as "*" and "L" are not supported: such a conversion is copied as written.
std::string MsgComposer(const char* format, ...);

}  // namespace GenTL
