// Interface identifiers and the braced text form of a GUID.
#include <cstdio>

#include "com_internal.h"

namespace com {

// Fixed for all time: component libraries built against older headers
// compare against these values.
const IID IID_IUnknown = {0x4d765215, 0x2b9c, 0x461a, {0xaa, 0x3d, 0x30, 0xf0, 0xe7, 0x82, 0xe8, 0xf4}};
const IID IID_IDispatch = {0x92b1acb4, 0x4bd5, 0x478e, {0xaf, 0xf2, 0xa1, 0x09, 0xc1, 0x24, 0x97, 0xe4}};
const IID IID_IClassFactory = {0x7d95d64d, 0x5c93, 0x409d, {0x8f, 0x23, 0xc5, 0xc4, 0xe7, 0xd2, 0x15, 0xc2}};
const IID IID_ITypeInfo = {0x0d07822a, 0xa9bf, 0x40c2, {0x84, 0xdc, 0xa3, 0x64, 0x6e, 0xc4, 0x8f, 0xfc}};
const IID IID_IConnectionPointContainer = {0x996fbefa, 0x805f, 0x4ecb, {0xbf, 0xdb, 0x4b, 0x5b, 0x54, 0x45, 0xf8, 0x94}};
const IID IID_IConnectionPoint = {0x58b8a864, 0x5caf, 0x455b, {0x81, 0xda, 0x41, 0xaa, 0x8f, 0xc5, 0x12, 0x2b}};
const IID IID_IStream = {0x6546663b, 0x5be8, 0x410f, {0x9e, 0xd4, 0x08, 0xc6, 0xea, 0x0e, 0xf2, 0x4f}};
const IID IID_IPersistStreamInit = {0xc2fc6a40, 0x258f, 0x4128, {0xb3, 0x6d, 0x74, 0x17, 0x63, 0x87, 0x4e, 0x74}};
const IID IID_IControlSite = {0xa65f8b34, 0x39c7, 0x4a0b, {0xab, 0xc3, 0x7e, 0x8c, 0x51, 0xab, 0xfa, 0x28}};
const IID IID_IControl = {0x792aa805, 0xa75c, 0x4399, {0x9a, 0x07, 0x1d, 0xd1, 0xeb, 0xdd, 0x8c, 0x75}};
const IID IID_IInPlaceControl = {0x3c1f6a52, 0x8e0d, 0x4b7a, {0x91, 0x6e, 0x2f, 0x5d, 0xc4, 0x07, 0xb3, 0x9a}};
const IID IID_IProvideClassInfo = {0x836151ca, 0xd7ad, 0x4e11, {0xa5, 0xb5, 0x9c, 0x54, 0xeb, 0x25, 0x8f, 0x03}};
const IID IID_IProvideClassInfo2 = {0x48824f20, 0xf5fe, 0x4f96, {0x8c, 0xfd, 0xa8, 0x0e, 0x85, 0x94, 0x2c, 0x03}};
const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

bool guid_equal(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

void guid_to_string(const GUID& g, char out[39]) {
  if (out == nullptr) return;
  std::snprintf(out, 39, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

namespace {
int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// Reads `digits` hex digits at text[pos]; false on anything else.
bool read_hex(const char* text, int pos, int digits, uint32_t* out) {
  uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    int h = hex_value(text[pos + i]);
    if (h < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(h);
  }
  *out = v;
  return true;
}
}  // namespace

bool guid_from_string(const char* text, GUID* out) {
  if (text == nullptr || out == nullptr) return false;
  // Checking the length first keeps every later index inside the text.
  if (std::strlen(text) != 38) return false;
  if (text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-')
    return false;
  GUID g{};
  uint32_t v = 0;
  if (!read_hex(text, 1, 8, &v)) return false;
  g.Data1 = v;
  if (!read_hex(text, 10, 4, &v)) return false;
  g.Data2 = static_cast<uint16_t>(v);
  if (!read_hex(text, 15, 4, &v)) return false;
  g.Data3 = static_cast<uint16_t>(v);
  static const int kPos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!read_hex(text, kPos[i], 2, &v)) return false;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  *out = g;
  return true;
}

namespace detail {
std::string guid_string(const GUID& g) {
  char text[39];
  guid_to_string(g, text);
  return text;
}

std::string clsid_key(const CLSID& clsid) { return "CLSID\\" + guid_string(clsid); }
}  // namespace detail

}  // namespace com
