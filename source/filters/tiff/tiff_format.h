// The TIFF file layout as the reader and writer see it: field types and
// their sizes, the tag numbers the filter knows (in the order of the tag
// index), and the values of the fields that steer decoding.
#pragma once

#include <array>
#include <cstdint>

namespace rx::tiff {

// ---- Header --------------------------------------------------------------

inline constexpr uint16_t kOrderIntel = 0x4949;     // "II"
inline constexpr uint16_t kOrderMotorola = 0x4D4D;  // "MM"
inline constexpr uint16_t kMagic = 42;
inline constexpr uint32_t kHeaderBytes = 8;
inline constexpr uint32_t kFirstIfdField = 4;  // where the header keeps the first IFD offset
inline constexpr uint32_t kEntryBytes = 12;
inline constexpr uint32_t kValueFieldBytes = 4;

// ---- Field types -----------------------------------------------------------

enum Type : uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
};

// Bytes of one value of a type; 0 for a type the format does not define,
// whose entries carry no data.
constexpr uint32_t type_size(uint32_t type) {
  switch (type) {
    case kByte: case kAscii: case kSByte: case kUndefined: return 1;
    case kShort: case kSShort: return 2;
    case kLong: case kSLong: case kFloat: return 4;
    case kRational: case kSRational: case kDouble: return 8;
    default: return 0;
  }
}

// ---- Tags --------------------------------------------------------------------

enum Tag : uint16_t {
  kNewSubfileType = 254,
  kSubfileType = 255,
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kThreshholding = 263,
  kCellWidth = 264,
  kCellLength = 265,
  kFillOrder = 266,
  kDocumentName = 269,
  kImageDescription = 270,
  kMake = 271,
  kModel = 272,
  kStripOffsets = 273,
  kOrientation = 274,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kMinSampleValue = 280,
  kMaxSampleValue = 281,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfiguration = 284,
  kPageName = 285,
  kXPosition = 286,
  kYPosition = 287,
  kFreeOffsets = 288,
  kFreeByteCounts = 289,
  kGrayResponseUnit = 290,
  kGrayResponseCurve = 291,
  kT4Options = 292,
  kT6Options = 293,
  kResolutionUnit = 296,
  kPageNumber = 297,
  kColorResponseUnit = 300,
  kTransferFunction = 301,
  kSoftware = 305,
  kDateTime = 306,
  kArtist = 315,
  kHostComputer = 316,
  kPredictor = 317,
  kWhitePoint = 318,
  kPrimaryChromaticities = 319,
  kColorMap = 320,
  kHalftoneHints = 321,
  kTileWidth = 322,
  kTileLength = 323,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kBadFaxLines = 326,
  kCleanFaxData = 327,
  kConsecutiveBadFaxLines = 328,
  kInkSet = 332,
  kInkNames = 333,
  kNumberOfInks = 334,
  kDotRange = 336,
  kTargetPrinter = 337,
  kExtraSamples = 338,
  kSampleFormat = 339,
  kSMinSampleValue = 340,
  kSMaxSampleValue = 341,
  kTransferRange = 342,
  kJpegProc = 512,
  kJpegInterchangeFormat = 513,
  kJpegInterchangeFormatLength = 514,
  kJpegRestartInterval = 515,
  kJpegLosslessPredictors = 517,
  kJpegPointTransforms = 518,
  kJpegQTables = 519,
  kJpegDcTables = 520,
  kJpegAcTables = 521,
  kYCbCrCoefficients = 529,
  kYCbCrSubSampling = 530,
  kYCbCrPositioning = 531,
  kReferenceBlackWhite = 532,
  kCopyright = 33432,
};

// The tags the directory keeps an index for, in slot order (ascending).
inline constexpr std::array<uint16_t, 78> kKnownTags = {
    kNewSubfileType, kSubfileType, kImageWidth, kImageLength, kBitsPerSample, kCompression,
    kPhotometric, kThreshholding, kCellWidth, kCellLength, kFillOrder, kDocumentName,
    kImageDescription, kMake, kModel, kStripOffsets, kOrientation, kSamplesPerPixel,
    kRowsPerStrip, kStripByteCounts, kMinSampleValue, kMaxSampleValue, kXResolution,
    kYResolution, kPlanarConfiguration, kPageName, kXPosition, kYPosition, kFreeOffsets,
    kFreeByteCounts, kGrayResponseUnit, kGrayResponseCurve, kT4Options, kT6Options,
    kResolutionUnit, kPageNumber, kColorResponseUnit, kTransferFunction, kSoftware, kDateTime,
    kArtist, kHostComputer, kPredictor, kWhitePoint, kPrimaryChromaticities, kColorMap,
    kHalftoneHints, kTileWidth, kTileLength, kTileOffsets, kTileByteCounts, kBadFaxLines,
    kCleanFaxData, kConsecutiveBadFaxLines, kInkSet, kInkNames, kNumberOfInks, kDotRange,
    kTargetPrinter, kExtraSamples, kSampleFormat, kSMinSampleValue, kSMaxSampleValue,
    kTransferRange, kJpegProc, kJpegInterchangeFormat, kJpegInterchangeFormatLength,
    kJpegRestartInterval, kJpegLosslessPredictors, kJpegPointTransforms, kJpegQTables,
    kJpegDcTables, kJpegAcTables, kYCbCrCoefficients, kYCbCrSubSampling, kYCbCrPositioning,
    kReferenceBlackWhite, kCopyright};
inline constexpr uint32_t kSlotCount = kKnownTags.size();
inline constexpr uint16_t kNoEntry = 0xFFFF;

// The slot of a known tag, or -1.
constexpr int32_t slot_of(uint32_t tag) {
  uint32_t lo = 0, hi = kSlotCount;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (kKnownTags[mid] == tag) return static_cast<int32_t>(mid);
    if (kKnownTags[mid] < tag) lo = mid + 1;
    else hi = mid;
  }
  return -1;
}

constexpr bool tags_ascending() {
  for (uint32_t i = 1; i < kSlotCount; ++i)
    if (kKnownTags[i - 1] >= kKnownTags[i]) return false;
  return true;
}
static_assert(tags_ascending(), "the tag index is searched by halves");
static_assert(slot_of(kNewSubfileType) == 0 && slot_of(kCopyright) == 77);
static_assert(slot_of(kColorMap) == 45 && slot_of(300) == 36 && slot_of(299) == -1);

// Tags are reported to the application as tag + 10000 up to 9999, and as
// themselves above.
inline constexpr int32_t kTagReportBase = 10000;
inline constexpr int32_t kTagReportLast = 9999;
// A rational's denominator is offered as tag + 11000.
inline constexpr int32_t kTagOfferDenominator = 11000;
constexpr int32_t tag_report_id(uint32_t tag) {
  return tag <= static_cast<uint32_t>(kTagReportLast) ? static_cast<int32_t>(tag) + kTagReportBase
                                                       : static_cast<int32_t>(tag);
}

// Private tags, which a reader may drop rather than fail on.
inline constexpr uint32_t kFirstPrivateTag = 32768;

// ---- Field values --------------------------------------------------------------

enum Compression : uint32_t {
  kCompressionNone = 1,
  kCompressionMh = 2,
  kCompressionGroup3 = 3,
  kCompressionGroup4 = 4,
  kCompressionLzw = 5,
  kCompressionJpeg = 6,       // the JPEG tables and strips of TIFF 6.0
  kCompressionNewJpeg = 7,    // the later JPEG-in-TIFF; not read
  kCompressionMhWords = 32771,  // Modified Huffman with word-aligned rows; not read
  kCompressionPackBits = 32773,
  kCompressionAbicBw = 32008,
  kCompressionAbicGray = 32010,
};

enum Photometric : uint32_t {
  kWhiteIsZero = 0,
  kBlackIsZero = 1,
  kRgb = 2,
  kPalette = 3,
  kSeparated = 5,  // CMYK
  kYCbCr = 6,
};

inline constexpr uint32_t kPlanarChunky = 1;
inline constexpr uint32_t kPlanarSeparate = 2;
inline constexpr uint32_t kPredictorNone = 1;
inline constexpr uint32_t kPredictorHorizontal = 2;
inline constexpr uint32_t kFillMsbFirst = 1;
inline constexpr uint32_t kFillLsbFirst = 2;
inline constexpr uint32_t kResolutionInch = 2;
inline constexpr uint32_t kResolutionCentimetre = 3;

// T4Options bits.
inline constexpr uint32_t kT4TwoDimensional = 1;
inline constexpr uint32_t kT4FillBits = 4;

// NewSubfileType of a page of a multi-page file.
inline constexpr uint32_t kSubfilePage = 2;

// Options in the TIFF image flags block (36 bytes): the byte order of a
// save at offset 12 (16 bits), the photometric override at 14 (16 bits,
// 0xFFFF when not set), the one-strip flag at 24 (32 bits) and the fill
// order override at 28 (16 bits, 0xFFFF when not set).
inline constexpr uint32_t kFlagsBytes = 36;
inline constexpr uint32_t kFlagsByteOrder = 12;
inline constexpr uint32_t kFlagsPhotometric = 14;
inline constexpr uint32_t kFlagsOneStrip = 24;
inline constexpr uint32_t kFlagsFillOrder = 28;
inline constexpr uint32_t kOptionNotSet = 0xFFFF;

}  // namespace rx::tiff
