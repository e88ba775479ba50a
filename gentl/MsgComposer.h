#pragma once

#include <string>

namespace GenTL {

// Longest message the composer produces; longer output is cut.
constexpr size_t kMaxMessageLength = 255;

// printf-style formatting into at most kMaxMessageLength characters. Besides the C placeholders
// it accepts "%I64u" and "%I64X", which take a 64-bit unsigned argument.
std::string MsgComposer(const char* format, ...);

}  // namespace GenTL
