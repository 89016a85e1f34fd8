// The control's dispatch table: every custom member with its identifier,
// name, type, kind and initial value, and the type descriptions of the
// dispatch and event interfaces built from it.
#pragma once

#include <cstdint>
#include <span>

#include "platform/com.h"

namespace rast {

// Address is our one widening of the table: members that carry a memory
// address or handle are pointer-sized here (64-bit integers to the host,
// which may still pass 32-bit integers), so an address is never cut.
enum class PropType : uint8_t { Long, Short, Double, Float, String, Bool, Address };
enum class PropKind : uint8_t { Notify, GetPut };

struct PropDesc {
  int32_t dispid;
  const char* name;
  PropType type;
  PropKind kind;
  double initial;            // numeric members; BOOL TRUE is -1
  const char* initial_text;  // string members
};

std::span<const PropDesc> prop_all();
// nullptr for identifiers the table skips or does not have.
const PropDesc* prop_find(int32_t dispid);
// Computed members that refuse writes at run time.
bool prop_read_only(int32_t dispid);
// Computed members whose writes are accepted and ignored.
bool prop_write_ignored(int32_t dispid);

com::VARTYPE prop_vartype(PropType type);

// The interfaces as a type library describes them.
const com::TypeDesc& dispatch_type_desc();
const com::TypeDesc& events_type_desc();
// The class "Rast": _DRast as its default interface and _DRastEvents as
// its default source.
const com::TypeDesc& class_type_desc();

}  // namespace rast
