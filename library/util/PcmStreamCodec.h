#pragma once

#include "library/util/CPcmUtil.h"

#include <cstddef>

// The stream decoding and encoding behind CPcmUtil, for CPcmUtil alone. The
// planar side holds left-justified integers (int32_t) or float samples (the
// integer times 2^-31, converted on the way as SignedIntToFloat and
// FloatToSignedInt do); callers with float samples hold the preferred control
// word. Arguments are checked by the caller: non-null byte and buffer arrays,
// widths of at most 32 bits, n > 0.
namespace PcmStreamCodec
{
// Null destination channels are skipped.
template <typename Sample>
void Decode(CPcmUtil::VectorForm form, bool msb, const unsigned char* bytes, Sample* const* dst, size_t n,
            unsigned channels, unsigned bits, size_t dstOffset);

// Null source channels are written as silence.
template <typename Sample>
void Encode(CPcmUtil::VectorForm form, bool msb, const Sample* const* src, unsigned char* bytes, size_t n,
            unsigned channels, unsigned bits, size_t srcOffset);

extern template void Decode<int32_t>(CPcmUtil::VectorForm, bool, const unsigned char*, int32_t* const*,
                                     size_t, unsigned, unsigned, size_t);
extern template void Decode<float>(CPcmUtil::VectorForm, bool, const unsigned char*, float* const*, size_t,
                                   unsigned, unsigned, size_t);
extern template void Encode<int32_t>(CPcmUtil::VectorForm, bool, const int32_t* const*, unsigned char*,
                                     size_t, unsigned, unsigned, size_t);
extern template void Encode<float>(CPcmUtil::VectorForm, bool, const float* const*, unsigned char*, size_t,
                                   unsigned, unsigned, size_t);
} // namespace PcmStreamCodec
