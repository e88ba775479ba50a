#include "gentl/MsgComposer.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace GenTL {

namespace {

enum class Length { Int, Long, LongLong, Other };

// One placeholder of a format: '%', its options, its length and its conversion letter.
struct Conversion {
    std::string written;  // the whole placeholder as the format spells it
    std::string options;  // flags, width and precision
    Length length = Length::Int;
    char type = '\0';  // '\0' when the format ends inside the placeholder
};

Length ReadLength(const char*& p) {
    for (const auto& [spelling, length] : {std::pair{"I64", Length::LongLong}, std::pair{"ll", Length::LongLong},
                                           std::pair{"l", Length::Long}}) {
        if (std::strncmp(p, spelling, std::strlen(spelling)) == 0) {
            p += std::strlen(spelling);
            return length;
        }
    }
    // size_t, intmax_t and ptrdiff_t are long on this platform; short and char arguments arrive
    // promoted to int.
    static_assert(sizeof(size_t) == sizeof(long) && sizeof(intmax_t) == sizeof(long) &&
                  sizeof(ptrdiff_t) == sizeof(long), "LP64");
    if (*p == 'z' || *p == 'j' || *p == 't') {
        ++p;
        return Length::Long;
    }
    p += std::strspn(p, "h");
    if (*p == 'L') {
        ++p;
        return Length::Other;
    }
    return Length::Int;
}

// Reads the placeholder that starts at the '%' under p and leaves p on its last character.
Conversion ReadConversion(const char*& p) {
    Conversion conversion;
    const char* const start = p++;
    const char* const options = p;
    p += std::strspn(p, "-+ #0123456789.");
    conversion.options.assign(options, p);
    conversion.length = ReadLength(p);
    conversion.type = *p;
    if (*p == '\0') {
        --p;
    }
    conversion.written.assign(start, p + 1);
    return conversion;
}

long long ReadSigned(Length length, va_list* args) {
    switch (length) {
        case Length::Long: return va_arg(*args, long);
        case Length::LongLong: return va_arg(*args, long long);
        default: return va_arg(*args, int);
    }
}

unsigned long long ReadUnsigned(Length length, va_list* args) {
    switch (length) {
        case Length::Long: return va_arg(*args, unsigned long);
        case Length::LongLong: return va_arg(*args, unsigned long long);
        default: return va_arg(*args, unsigned);
    }
}

// Formats one value with the options of its conversion and the length modifier of T.
template <typename T>
void AppendValue(std::string& out, const Conversion& conversion, const char* length, T value) {
    const std::string placeholder = "%" + conversion.options + length + conversion.type;
    char piece[kMaxMessageLength + 1] = {};
    std::snprintf(piece, sizeof piece, placeholder.c_str(), value);
    out += piece;
}

// Appends what one conversion stands for, taking its argument from args.
void AppendConversion(std::string& out, const Conversion& conversion, va_list* args) {
    if (conversion.length == Length::Other) {
        out += conversion.written;
        return;
    }
    switch (conversion.type) {
        case 'd':
        case 'i': AppendValue(out, conversion, "ll", ReadSigned(conversion.length, args)); break;
        case 'u':
        case 'o':
        case 'x':
        case 'X': AppendValue(out, conversion, "ll", ReadUnsigned(conversion.length, args)); break;
        case 's': AppendValue(out, conversion, "", va_arg(*args, const char*)); break;
        case 'c': AppendValue(out, conversion, "", va_arg(*args, int)); break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G': AppendValue(out, conversion, "", va_arg(*args, double)); break;
        case 'p': out += FormatPointer(va_arg(*args, const void*)); break;
        case '%': out += '%'; break;
        default: out += conversion.written; break;
    }
}

}  // namespace

std::string FormatPointer(const void* pointer) {
    char text[2 + 2 * sizeof pointer + 1] = {};
    std::snprintf(text, sizeof text, "0x%jx", static_cast<uintmax_t>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

std::string MsgComposer(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out;
    for (const char* p = format; *p != '\0' && out.size() < kMaxMessageLength; ++p) {
        if (std::strncmp(p, "0x%p", 4) == 0) {
            p += 2;
        }
        if (*p == '%') {
            AppendConversion(out, ReadConversion(p), &args);
        } else {
            out += *p;
        }
    }
    va_end(args);
    out.resize(std::min(out.size(), kMaxMessageLength));
    return out;
}

}  // namespace GenTL
