// Strings: UTF-8 bytes with their length stored in the four bytes in front
// and a terminator behind, so that a BSTR also reads as a C string.
#include <cstdlib>

#include "com_internal.h"

namespace com {

namespace {
constexpr uint32_t kHeader = sizeof(uint32_t);
}

BSTR SysAllocStringLen(const char* text, uint32_t bytes) {
  if (bytes > UINT32_MAX - kHeader - 1) return nullptr;
  // malloc, not new: a string may be freed by another component library
  // with its own copy of this code, and both share the C heap.
  auto* block = static_cast<char*>(std::malloc(size_t{kHeader} + bytes + 1));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, kHeader);
  char* s = block + kHeader;
  if (text != nullptr)
    std::memcpy(s, text, bytes);
  else
    std::memset(s, 0, bytes);
  s[bytes] = '\0';
  return s;
}

BSTR SysAllocString(const char* text) {
  if (text == nullptr) return nullptr;
  size_t n = std::strlen(text);
  if (n > UINT32_MAX - kHeader - 1) return nullptr;
  return SysAllocStringLen(text, static_cast<uint32_t>(n));
}

void SysFreeString(BSTR s) {
  if (s != nullptr) std::free(s - kHeader);
}

uint32_t SysStringLen(BSTR s) {
  if (s == nullptr) return 0;
  uint32_t n;
  std::memcpy(&n, s - kHeader, kHeader);
  return n;
}

}  // namespace com
