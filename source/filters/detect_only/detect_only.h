// The filter records of the formats that are detected but have no reader
// or writer yet.
#pragma once

#include "SUPPORT/filter_record.h"

namespace rx {

extern const FILTER_RECORD kTiffFilter;
extern const FILTER_RECORD kAfxFilter;
extern const FILTER_RECORD kGemFilter;
extern const FILTER_RECORD kIcoFilter;
extern const FILTER_RECORD kPcxFilter;
extern const FILTER_RECORD kDcxFilter;
extern const FILTER_RECORD kIocaFilter;
extern const FILTER_RECORD kModcaFilter;
extern const FILTER_RECORD kWpgFilter;
extern const FILTER_RECORD kPsdFilter;
extern const FILTER_RECORD kPcdFilter;
extern const FILTER_RECORD kEpsFilter;
extern const FILTER_RECORD kCalsFilter;
extern const FILTER_RECORD kIffFilter;
extern const FILTER_RECORD kXwdFilter;
extern const FILTER_RECORD kXpmFilter;
extern const FILTER_RECORD kXbmFilter;
extern const FILTER_RECORD kSunFilter;
extern const FILTER_RECORD kSgiFilter;
extern const FILTER_RECORD kMspFilter;
extern const FILTER_RECORD kKfxFilter;
extern const FILTER_RECORD kImtFilter;
extern const FILTER_RECORD kBrkFilter;
extern const FILTER_RECORD kLvFilter;
extern const FILTER_RECORD kWmfFilter;
extern const FILTER_RECORD kNcrFilter;
extern const FILTER_RECORD kClpFilter;
extern const FILTER_RECORD kTgaFilter;
extern const FILTER_RECORD kPictFilter;
extern const FILTER_RECORD kCutFilter;
extern const FILTER_RECORD kTextFilter;

}  // namespace rx
