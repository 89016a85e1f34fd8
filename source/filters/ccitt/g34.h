// Raw (headerless) Group 3 and Group 4 fax files: the filters of format
// codes 11 and 12. They are reached only by an explicit raw load or save.
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

// The first fields of the raw formats' image flags block as a raw load
// fills its copy: the page's width and height, the decoder option (the fill
// order of the data) and a marker set to 1. A save reads the fourth field
// of the options as they stand: non-zero asks for byte-aligned EOL fields.
struct G34_FLAGS {
  int32_t width;
  int32_t height;
  int32_t decoder_option;
  int32_t fourth;
};

// Compression codes the raw writer takes as its writer option (0 picks the
// format's own: 3 for Group 3, 4 for Group 4).
inline constexpr int32_t kG34Group3 = 3;
inline constexpr int32_t kG34Group4 = 4;
inline constexpr int32_t kG34Group3TwoD = 5;

extern const FILTER_RECORD kRawG3Filter;
extern const FILTER_RECORD kRawG4Filter;

FilterRead g3_read;
FilterRead g4_read;
FilterInfo g3_info;
FilterInfo g4_info;
FilterPageCount g34_page_count;
FilterWrite g3_write;
FilterWrite g4_write;

}  // namespace rx
