// The extension registry: filters and codecs added by extension modules.
#pragma once

#include <cstdint>

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

struct EXT_RECORD;

struct EXT_REGISTRY {
  uint32_t tag;
  int32_t count;
  EXT_RECORD* head;  // newest first
};

// Registered extension filters in detection order (list order, then item
// order). n runs from 0 to extension_filter_count() - 1.
int32_t extension_filter_count();
// The n-th filter's record, with its filter index (format code +
// RX_EXTENSION_FILTER_BASE) in *index; null (and -1) when there is no such
// filter.
const FILTER_RECORD* extension_filter_at(int32_t n, int32_t* index);
// The record of a filter index, or null when no registered filter has it.
const FILTER_RECORD* extension_filter_by_index(int32_t index);
// The detection switch of a filter index, or null when none has it.
int32_t* extension_detect_switch(int32_t index);

// The codecs loaded extensions register, by compression number (8 is
// LZW); null when no loaded extension has one. Newest extension first.
RX_CODEC_DECODE_FN extension_decoder_find(int32_t compression);
RX_CODEC_ENCODE_FN extension_encoder_find(int32_t compression);

}  // namespace rx
