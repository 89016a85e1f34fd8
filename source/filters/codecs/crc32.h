// CRC-32 as PNG chunks and zip-style containers use it: the reflected
// polynomial 0xEDB88320, initial value all ones, final complement.
//
// Pure functions over caller buffers; no engine state, nothing to report.
// A CRC is carried from piece to piece as its finished value: start with 0
// and pass the previous result back in, so
//   crc32_update(crc32_update(0, a, n), b, m) == CRC of a followed by b.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx::codec {

// Eight bytes per step through eight derived tables.
uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t size);

// The plain form: one lookup in the 256-entry table per byte. Gives the
// same values as crc32_update; kept as the reference the fast form is
// tested against.
uint32_t crc32_bytewise(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace rx::codec
