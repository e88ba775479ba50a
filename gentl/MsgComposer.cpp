#include "gentl/MsgComposer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace GenTL {

namespace {

// Rewrites the 64-bit placeholders into their standard C spelling.
std::string TranslateFormat(const char* format) {
    std::string out;
    for (const char* p = format; *p != '\0'; ++p) {
        if (p[0] == '%' && std::strncmp(p + 1, "I64", 3) == 0) {
            out += "%ll";
            p += 3;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

std::string MsgComposer(const char* format, ...) {
    const std::string translated = TranslateFormat(format);
    char buffer[kMaxMessageLength + 1] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, translated.c_str(), args);
    va_end(args);
    return buffer;
}

}  // namespace GenTL
