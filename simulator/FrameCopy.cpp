#include "simulator/FrameCopy.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Quibbon::Sim {

FrameWriter::~FrameWriter() {
#if defined(__SSE2__)
    if (m_streaming) {
        _mm_sfence();
    }
#endif
}

void FrameWriter::Copy(uint8_t* destination, const uint8_t* source, size_t bytes) const {
    if (m_streaming) {
        StreamingCopy(destination, source, bytes);
    } else {
        std::memcpy(destination, source, bytes);
    }
}

void StreamingCopy(uint8_t* destination, const uint8_t* source, size_t bytes) {
#if defined(__SSE2__)
    constexpr size_t kVector = 16;
    constexpr size_t kStep = 4 * kVector;
    const size_t head = (kVector - (reinterpret_cast<uintptr_t>(destination) & (kVector - 1))) & (kVector - 1);
    if (bytes < head + kStep) {
        std::memcpy(destination, source, bytes);
        return;
    }
    std::memcpy(destination, source, head);
    destination += head;
    source += head;
    bytes -= head;
    auto* out = reinterpret_cast<__m128i*>(destination);
    const auto* in = reinterpret_cast<const __m128i*>(source);
    for (; bytes >= kStep; bytes -= kStep, out += 4, in += 4) {
        const __m128i a = _mm_loadu_si128(in);
        const __m128i b = _mm_loadu_si128(in + 1);
        const __m128i c = _mm_loadu_si128(in + 2);
        const __m128i d = _mm_loadu_si128(in + 3);
        _mm_stream_si128(out, a);
        _mm_stream_si128(out + 1, b);
        _mm_stream_si128(out + 2, c);
        _mm_stream_si128(out + 3, d);
    }
    for (; bytes >= kVector; bytes -= kVector, ++out, ++in) {
        _mm_stream_si128(out, _mm_loadu_si128(in));
    }
    std::memcpy(out, in, bytes);
#else
    std::memcpy(destination, source, bytes);
#endif
}

}  // namespace Quibbon::Sim
