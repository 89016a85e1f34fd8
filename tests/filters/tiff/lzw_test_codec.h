// A TIFF LZW codec for the tests, with the entry points of an extension
// module's codec: 9- to 12-bit codes, most significant bit first, a clear
// code (256) at the start and whenever the table fills, an end code (257),
// and the code width growing one code early as TIFF files have it. It
// stands in for the LZW extension, which is not part of the engine.
#pragma once

#include <cstdint>
#include <vector>

#include "rastrix/rx_types.h"

namespace tifft {

// The codec's entry points.
int32_t lzw_test_decode(IO_REC* io, uint8_t* buffer, int32_t buffer_size, uint32_t pool_tag,
                        const RX_BITMAPINFOHEADER* header, int32_t rows_per_strip,
                        int32_t bits_per_sample, int32_t samples_per_pixel,
                        const RX_CODEC_STRIP* strip, void* state);
int32_t lzw_test_encode(IO_REC* io, uint32_t pool_tag, const uint8_t* buffer, int32_t* byte_count);

// The same coding on plain buffers. decode returns false for data that is
// not LZW; it stops when `out` is full.
std::vector<uint8_t> lzw_encode(const uint8_t* in, size_t n);
bool lzw_decode(const uint8_t* in, size_t n, std::vector<uint8_t>* out, size_t limit);

// Installs the codec as the engine's LZW codec for the life of the scope.
class LzwInstalled {
 public:
  LzwInstalled();
  ~LzwInstalled();
  LzwInstalled(const LzwInstalled&) = delete;
  LzwInstalled& operator=(const LzwInstalled&) = delete;
};

}  // namespace tifft
