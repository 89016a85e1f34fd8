// Tag exchange: readers offer each field they decode to the application and
// writers ask it for fields to add, through callbacks the application
// installs in the stream template. With nothing installed every call is a
// quiet no-op, so filters never need to test first.
#include "IO/io_rec.h"
#include "SUPPORT/error.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\IO\\io_tags.cpp");

namespace {

// Field types as the application sees them.
enum : int32_t { kTypeByte = 1, kTypeShort = 3, kTypeLong = 4 };

template <typename T>
void zero_out(T* out) {
  if (out != nullptr) *out = 0;
}

// Asks for one fixed-size value. The application only ever sees a buffer
// of exactly the value's size, so it cannot write past it.
template <typename T>
int32_t value_get(IO_REC* io, int32_t tag_id, int32_t type, T* value) {
  if (io == nullptr || io->tag_get == nullptr || value == nullptr) return 0;
  return io->tag_get(io->tag_get_data, tag_id, &type, value, static_cast<int32_t>(sizeof(T)));
}

}  // namespace

extern "C" int32_t RPb_IO_tag_set_exists(IO_REC* io) {
  return io != nullptr && io->tag_set != nullptr ? 1 : 0;
}

extern "C" int32_t RPb_IO_tag_get_exists(IO_REC* io) {
  return io != nullptr && io->tag_get != nullptr ? 1 : 0;
}

extern "C" int32_t RPb_IO_tag_user_get_exists(IO_REC* io) {
  return io != nullptr && io->tag_user_get != nullptr ? 1 : 0;
}

extern "C" int32_t RPb_IO_tag_set(IO_REC* io, int32_t tag_id, int32_t type, uintptr_t data,
                                  int32_t count) {
  if (io == nullptr || io->tag_set == nullptr) return 0;
  return io->tag_set(io->tag_set_data, tag_id, type, data, count);
}

// The single-value forms pass the value itself, not its address, with the
// value's size as the count.
extern "C" int32_t RPb_IO_tag_byte_set(IO_REC* io, int32_t tag_id, uint8_t value) {
  return RPb_IO_tag_set(io, tag_id, kTypeByte, value, 1);
}

extern "C" int32_t RPb_IO_tag_word_set(IO_REC* io, int32_t tag_id, uint16_t value) {
  return RPb_IO_tag_set(io, tag_id, kTypeShort, value, 2);
}

extern "C" int32_t RPb_IO_tag_dword_set(IO_REC* io, int32_t tag_id, uint32_t value) {
  return RPb_IO_tag_set(io, tag_id, kTypeLong, value, 4);
}

// The type is in and out: a writer offering a field names its type, and
// the application may answer with another. Without a callback it reads 0.
extern "C" int32_t RPb_IO_tag_get(IO_REC* io, int32_t tag_id, int32_t* type, void* buffer,
                                  int32_t buffer_size) {
  if (io == nullptr || io->tag_get == nullptr || type == nullptr) {
    zero_out(type);
    return 0;
  }
  // A missing or negative-sized buffer is offered to the application as
  // no buffer at all.
  if (buffer == nullptr || buffer_size <= 0) {
    buffer = nullptr;
    buffer_size = 0;
  }
  return io->tag_get(io->tag_get_data, tag_id, type, buffer, buffer_size);
}

// The id is in and out: a writer may name the tag it asks for (the JPEG
// writer asks for each application segment by id), and the application
// answers with the tag it supplies. Without a callback every output is 0.
// *count comes in as the capacity of the caller's buffer, so the
// application knows how much it may write, and goes out as what it wrote;
// an application that answers 0 supplied nothing. The caller still checks
// the answer against its capacity.
extern "C" int32_t RPb_IO_tag_user_get(IO_REC* io, int32_t* tag_id, int32_t* type, void* buffer,
                                       int32_t* count) {
  zero_out(type);
  if (io == nullptr || io->tag_user_get == nullptr || tag_id == nullptr || type == nullptr ||
      count == nullptr) {
    zero_out(count);
    zero_out(tag_id);
    return 0;
  }
  if (buffer == nullptr || *count < 0) *count = 0;
  const int32_t answer = io->tag_user_get(io->tag_get_data, tag_id, type, buffer, count);
  if (answer == 0) *count = 0;
  return answer;
}

extern "C" int32_t RPb_IO_tag_byte_get(IO_REC* io, int32_t tag_id, uint8_t* value) {
  return value_get(io, tag_id, kTypeByte, value);
}

extern "C" int32_t RPb_IO_tag_word_get(IO_REC* io, int32_t tag_id, uint16_t* value) {
  return value_get(io, tag_id, kTypeShort, value);
}

extern "C" int32_t RPb_IO_tag_dword_get(IO_REC* io, int32_t tag_id, uint32_t* value) {
  return value_get(io, tag_id, kTypeLong, value);
}

// ---- Installation ---------------------------------------------------------
// Installed in the template, so every later load and save copies them.

namespace {

IO_REC* template_to_install_in() {
  rx::error_clear();
  IO_REC* t = rx::io_template();
  if (t == nullptr) RX_ERR(RXE_INSTANCE_FAILURE, 0, 0);
  return t;
}

}  // namespace

extern "C" int32_t RX_tag_set_callback_install(RX_TAG_SET_CB callback, uintptr_t user) {
  if (IO_REC* t = template_to_install_in()) {
    t->tag_set = callback;
    t->tag_set_data = user;
  }
  return rx::error_count();
}

extern "C" int32_t RX_tag_get_callback_install(RX_TAG_GET_CB get, RX_TAG_USER_GET_CB user_get,
                                               uintptr_t user) {
  if (IO_REC* t = template_to_install_in()) {
    t->tag_get = get;
    t->tag_user_get = user_get;
    t->tag_get_data = user;
  }
  return rx::error_count();
}
