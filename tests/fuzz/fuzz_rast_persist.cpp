// The control's property stream comes from a host's saved form. Each input
// is offered as that stream: a load either refuses it and changes nothing,
// or takes it, and then what the control saves loads back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "RastCtl.h"
#include "rastrix/rastrix.h"

namespace {

com::IStream* stream_of(const void* data, size_t size) {
  com::IStream* s = nullptr;
  if (com::CreateMemoryStream(data, static_cast<uint32_t>(size), &s) != com::S_OK) std::abort();
  return s;
}

bool save_to(com::IPersistStreamInit* p, const uint8_t** bytes, uint32_t* n, com::IStream** s) {
  *s = stream_of(nullptr, 0);
  return p->Save(*s, 0) == com::S_OK && com::MemoryStreamContent(*s, bytes, n) == com::S_OK;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int started = RX_engine_start(0);
  (void)started;
  void* out = nullptr;
  if (rast::CRastCtrl::create(com::IID_IPersistStreamInit, &out) != com::S_OK) std::abort();
  auto* p = static_cast<com::IPersistStreamInit*>(out);

  const uint8_t* before = nullptr;
  uint32_t before_n = 0;
  com::IStream* s0 = nullptr;
  if (!save_to(p, &before, &before_n, &s0)) std::abort();

  com::IStream* in = stream_of(data, size);
  const bool taken = p->Load(in) == com::S_OK;
  in->Release();

  const uint8_t* after = nullptr;
  uint32_t after_n = 0;
  com::IStream* s1 = nullptr;
  if (!save_to(p, &after, &after_n, &s1)) std::abort();
  if (!taken && (after_n != before_n || std::memcmp(after, before, before_n) != 0)) std::abort();
  if (taken) {
    // What was taken saves as the same stream again after a reload.
    com::IStream* again = stream_of(after, after_n);
    if (p->Load(again) != com::S_OK) std::abort();
    again->Release();
    const uint8_t* third = nullptr;
    uint32_t third_n = 0;
    com::IStream* s2 = nullptr;
    if (!save_to(p, &third, &third_n, &s2) || third_n != after_n ||
        std::memcmp(third, after, after_n) != 0)
      std::abort();
    s2->Release();
  }
  s0->Release();
  s1->Release();
  p->Release();
  return 0;
}
