// Variants: ownership (clear, copy) and conversion between the types a host
// passes to a control's properties.
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "com_internal.h"

namespace com {

namespace {

bool known_type(VARTYPE base) {
  switch (base) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8:
    case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool valid_vt(VARTYPE vt) {
  if (vt & VT_BYREF) {
    VARTYPE base = static_cast<VARTYPE>(vt & ~VT_BYREF);
    return base != VT_EMPTY && base != VT_NULL && (base == VT_VARIANT || known_type(base));
  }
  return known_type(vt);
}

// Reads what a by-reference variant points at into a plain variant that
// borrows (does not own) any string or interface.
HRESULT dereference(const VARIANT* src, VARIANT* plain) {
  const VARIANT* v = src;
  if (v->vt == (VT_BYREF | VT_VARIANT)) {
    if (v->pvarVal == nullptr) return E_INVALIDARG;
    v = v->pvarVal;
    // A variant reference to another reference is not something a caller
    // builds on purpose; refusing it also rules out reference cycles.
    if (v->vt == (VT_BYREF | VT_VARIANT)) return DISP_E_BADVARTYPE;
  }
  if (!valid_vt(v->vt)) return DISP_E_BADVARTYPE;
  if (!(v->vt & VT_BYREF)) {
    *plain = *v;
    return S_OK;
  }
  if (v->byref == nullptr) return E_INVALIDARG;
  VARIANT p{};
  p.vt = static_cast<VARTYPE>(v->vt & ~VT_BYREF);
  const void* at = v->byref;
  switch (p.vt) {
    case VT_I1: case VT_UI1: std::memcpy(&p.bVal, at, 1); break;
    case VT_I2: case VT_UI2: case VT_BOOL: std::memcpy(&p.iVal, at, 2); break;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR:
      std::memcpy(&p.lVal, at, 4);
      break;
    case VT_I8: case VT_UI8: case VT_R8: std::memcpy(&p.llVal, at, 8); break;
    case VT_BSTR: p.bstrVal = *static_cast<BSTR const*>(at); break;
    case VT_UNKNOWN: p.punkVal = *static_cast<IUnknown* const*>(at); break;
    case VT_DISPATCH: p.pdispVal = *static_cast<IDispatch* const*>(at); break;
    default: return DISP_E_BADVARTYPE;
  }
  *plain = p;
  return S_OK;
}

// A number on its way from one type to another.
struct Number {
  enum Kind { Signed, Unsigned, Real } kind = Signed;
  int64_t s = 0;
  uint64_t u = 0;
  double r = 0;
};

bool is_space(char c) { return c == ' ' || c == '\t'; }

void trim(const char*& b, const char*& e) {
  while (b < e && is_space(*b)) ++b;
  while (e > b && is_space(e[-1])) --e;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The whole text must be one decimal number (surrounding blanks aside).
HRESULT parse_number(const char* text, uint32_t len, Number* out) {
  if (text == nullptr) return DISP_E_TYPEMISMATCH;
  const char* b = text;
  const char* e = text + len;
  trim(b, e);
  bool negative = false;
  if (b < e && (*b == '+' || *b == '-')) negative = (*b++ == '-');
  if (b == e) return DISP_E_TYPEMISMATCH;

  // Shape check first: from_chars would accept "inf", "nan" and friends.
  const char* p = b;
  size_t int_digits = 0, frac_digits = 0;
  bool int_nonzero = false, exp_negative = false, has_point = false, has_exp = false;
  while (p < e && is_digit(*p)) int_nonzero |= (*p++ != '0'), ++int_digits;
  if (p < e && *p == '.') {
    has_point = true;
    ++p;
    while (p < e && is_digit(*p)) ++p, ++frac_digits;
  }
  if (int_digits + frac_digits == 0) return DISP_E_TYPEMISMATCH;
  if (p < e && (*p == 'e' || *p == 'E')) {
    has_exp = true;
    ++p;
    if (p < e && (*p == '+' || *p == '-')) exp_negative = (*p++ == '-');
    size_t exp_digits = 0;
    while (p < e && is_digit(*p)) ++p, ++exp_digits;
    if (exp_digits == 0) return DISP_E_TYPEMISMATCH;
  }
  if (p != e) return DISP_E_TYPEMISMATCH;

  if (!has_point && !has_exp) {
    uint64_t mag = 0;
    auto [end, ec] = std::from_chars(b, e, mag);
    if (ec == std::errc() && end == e) {
      if (!negative) {
        out->kind = Number::Unsigned;
        out->u = mag;
        return S_OK;
      }
      if (mag <= uint64_t{1} << 63) {
        out->kind = Number::Signed;
        out->s = mag == (uint64_t{1} << 63) ? INT64_MIN : -static_cast<int64_t>(mag);
        return S_OK;
      }
    }
    // Too large for a 64-bit integer: still a number, for a real target.
  }
  double r = 0;
  auto [end, ec] = std::from_chars(b, e, r, std::chars_format::general);
  if (end != e) return DISP_E_TYPEMISMATCH;
  if (ec == std::errc::result_out_of_range) {
    bool tiny = has_exp ? exp_negative : !int_nonzero;
    if (!tiny) return DISP_E_OVERFLOW;
    r = 0;
  } else if (ec != std::errc()) {
    return DISP_E_TYPEMISMATCH;
  }
  out->kind = Number::Real;
  out->r = negative ? -r : r;
  return S_OK;
}

HRESULT to_number(const VARIANT& v, Number* out) {
  switch (v.vt) {
    case VT_EMPTY: out->kind = Number::Signed; out->s = 0; return S_OK;
    case VT_I1: out->kind = Number::Signed; out->s = v.cVal; return S_OK;
    case VT_I2: out->kind = Number::Signed; out->s = v.iVal; return S_OK;
    case VT_BOOL: out->kind = Number::Signed; out->s = v.boolVal; return S_OK;
    case VT_I4: case VT_INT: out->kind = Number::Signed; out->s = v.lVal; return S_OK;
    case VT_I8: out->kind = Number::Signed; out->s = v.llVal; return S_OK;
    case VT_UI1: out->kind = Number::Unsigned; out->u = v.bVal; return S_OK;
    case VT_UI2: out->kind = Number::Unsigned; out->u = v.uiVal; return S_OK;
    case VT_UI4: case VT_UINT: out->kind = Number::Unsigned; out->u = v.ulVal; return S_OK;
    case VT_UI8: out->kind = Number::Unsigned; out->u = v.ullVal; return S_OK;
    case VT_R4: out->kind = Number::Real; out->r = static_cast<double>(v.fltVal); return S_OK;
    case VT_R8: out->kind = Number::Real; out->r = v.dblVal; return S_OK;
    case VT_BSTR: return parse_number(v.bstrVal, SysStringLen(v.bstrVal), out);
    default: return DISP_E_TYPEMISMATCH;
  }
}

// Banker's rounding, independent of the floating-point rounding mode a
// host may have changed.
double round_half_even(double x) {
  double f = std::floor(x);
  double d = x - f;
  if (d > 0.5) return f + 1;
  if (d < 0.5) return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

HRESULT to_signed(const Number& n, int64_t lo, int64_t hi, int64_t* out) {
  switch (n.kind) {
    case Number::Signed:
      if (n.s < lo || n.s > hi) return DISP_E_OVERFLOW;
      *out = n.s;
      return S_OK;
    case Number::Unsigned:
      if (n.u > static_cast<uint64_t>(hi)) return DISP_E_OVERFLOW;
      *out = static_cast<int64_t>(n.u);
      return S_OK;
    case Number::Real: {
      if (!std::isfinite(n.r)) return DISP_E_OVERFLOW;
      double r = round_half_even(n.r);
      // hi + 1 == -lo is exact in a double for every signed width.
      if (r < static_cast<double>(lo) || r >= -static_cast<double>(lo)) return DISP_E_OVERFLOW;
      *out = static_cast<int64_t>(r);
      return S_OK;
    }
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT to_unsigned(const Number& n, uint64_t hi, uint64_t* out) {
  switch (n.kind) {
    case Number::Signed:
      if (n.s < 0 || static_cast<uint64_t>(n.s) > hi) return DISP_E_OVERFLOW;
      *out = static_cast<uint64_t>(n.s);
      return S_OK;
    case Number::Unsigned:
      if (n.u > hi) return DISP_E_OVERFLOW;
      *out = n.u;
      return S_OK;
    case Number::Real: {
      if (!std::isfinite(n.r)) return DISP_E_OVERFLOW;
      double r = round_half_even(n.r);
      // For the 64-bit width hi rounds up to 2^64, which is the right bound.
      double limit = hi == UINT64_MAX ? 18446744073709551616.0 : static_cast<double>(hi) + 1.0;
      if (r < 0 || r >= limit) return DISP_E_OVERFLOW;
      *out = static_cast<uint64_t>(r);
      return S_OK;
    }
  }
  return DISP_E_TYPEMISMATCH;
}

double to_double(const Number& n) {
  switch (n.kind) {
    case Number::Signed: return static_cast<double>(n.s);
    case Number::Unsigned: return static_cast<double>(n.u);
    case Number::Real: return n.r;
  }
  return 0;
}

HRESULT set_text(const char* text, size_t n, VARIANT* out) {
  BSTR s = SysAllocStringLen(text, static_cast<uint32_t>(n));
  if (s == nullptr) return E_OUTOFMEMORY;
  out->vt = VT_BSTR;
  out->bstrVal = s;
  return S_OK;
}

// Floating point through to_chars, for the shortest text that reads back
// exactly. Integers through snprintf: the integer to_chars brings a
// unique symbol that would make a component library impossible to unload.
template <class T>
HRESULT text_of(T value, VARIANT* out) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc()) return E_UNEXPECTED;
  return set_text(buf, static_cast<size_t>(end - buf), out);
}
HRESULT text_of_signed(int64_t value, VARIANT* out) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
  return set_text(buf, static_cast<size_t>(n), out);
}
HRESULT text_of_unsigned(uint64_t value, VARIANT* out) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(value));
  return set_text(buf, static_cast<size_t>(n), out);
}


HRESULT to_text(const VARIANT& v, uint16_t flags, VARIANT* out) {
  switch (v.vt) {
    case VT_EMPTY: out->vt = VT_BSTR; out->bstrVal = nullptr; return S_OK;
    case VT_BOOL:
      if (flags & VARIANT_ALPHABOOL)
        return v.boolVal ? set_text("True", 4, out) : set_text("False", 5, out);
      return text_of_signed(v.boolVal, out);
    case VT_R4: return text_of(v.fltVal, out);
    case VT_R8: return text_of(v.dblVal, out);
    default: break;
  }
  Number n;
  HRESULT hr = to_number(v, &n);
  if (FAILED(hr)) return hr;
  if (n.kind == Number::Signed) return text_of_signed(n.s, out);
  return text_of_unsigned(n.u, out);
}

HRESULT to_bool(const VARIANT& v, VARIANT* out) {
  if (v.vt == VT_BSTR && v.bstrVal != nullptr) {
    const char* b = v.bstrVal;
    const char* e = b + SysStringLen(v.bstrVal);
    trim(b, e);
    std::string word(b, e);
    if (detail::iequal(word.c_str(), "true") || detail::iequal(word.c_str(), "false")) {
      out->vt = VT_BOOL;
      out->boolVal = detail::iequal(word.c_str(), "true") ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
  }
  Number n;
  HRESULT hr = to_number(v, &n);
  if (FAILED(hr)) return hr;
  bool nonzero = n.kind == Number::Signed ? n.s != 0 : n.kind == Number::Unsigned ? n.u != 0 : n.r != 0;
  out->vt = VT_BOOL;
  out->boolVal = nonzero ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT convert(const VARIANT& v, uint16_t flags, VARTYPE vt, VARIANT* out, int depth);

// An object converts through its value property, as hosts expect of a
// control assigned where a plain value is wanted.
HRESULT convert_object_value(const VARIANT& v, uint16_t flags, VARTYPE vt, VARIANT* out, int depth) {
  if (v.vt != VT_DISPATCH || v.pdispVal == nullptr || depth > 0) return DISP_E_TYPEMISMATCH;
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = disp_get(v.pdispVal, DISPID_VALUE, &value);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  hr = convert(value, flags, vt, out, depth + 1);
  VariantClear(&value);
  return hr;
}

HRESULT convert(const VARIANT& v, uint16_t flags, VARTYPE vt, VARIANT* out, int depth) {
  if (v.vt == vt) return VariantCopy(out, &v);
  if (vt == VT_EMPTY) return S_OK;
  if (v.vt == VT_NULL || v.vt == VT_ERROR || vt == VT_NULL || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if ((v.vt != VT_UNKNOWN && v.vt != VT_DISPATCH) || v.punkVal == nullptr) return DISP_E_TYPEMISMATCH;
    void* p = nullptr;
    HRESULT hr = v.punkVal->QueryInterface(vt == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch, &p);
    if (FAILED(hr) || p == nullptr) return DISP_E_TYPEMISMATCH;
    out->vt = vt;
    out->punkVal = static_cast<IUnknown*>(p);
    return S_OK;
  }
  if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) return convert_object_value(v, flags, vt, out, depth);
  if (vt == VT_BSTR) return to_text(v, flags, out);
  if (vt == VT_BOOL) return to_bool(v, out);

  Number n;
  HRESULT hr = to_number(v, &n);
  if (FAILED(hr)) return hr;
  int64_t s = 0;
  uint64_t u = 0;
  switch (vt) {
    case VT_I1: hr = to_signed(n, INT8_MIN, INT8_MAX, &s); out->cVal = static_cast<int8_t>(s); break;
    case VT_I2: hr = to_signed(n, INT16_MIN, INT16_MAX, &s); out->iVal = static_cast<int16_t>(s); break;
    case VT_I4: case VT_INT:
      hr = to_signed(n, INT32_MIN, INT32_MAX, &s);
      out->lVal = static_cast<int32_t>(s);
      break;
    case VT_I8: hr = to_signed(n, INT64_MIN, INT64_MAX, &s); out->llVal = s; break;
    case VT_UI1: hr = to_unsigned(n, UINT8_MAX, &u); out->bVal = static_cast<uint8_t>(u); break;
    case VT_UI2: hr = to_unsigned(n, UINT16_MAX, &u); out->uiVal = static_cast<uint16_t>(u); break;
    case VT_UI4: case VT_UINT:
      hr = to_unsigned(n, UINT32_MAX, &u);
      out->ulVal = static_cast<uint32_t>(u);
      break;
    case VT_UI8: hr = to_unsigned(n, UINT64_MAX, &u); out->ullVal = u; break;
    case VT_R4: {
      double d = to_double(n);
      if (std::isfinite(d) && std::fabs(d) > static_cast<double>(FLT_MAX)) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(d);
      break;
    }
    case VT_R8: out->dblVal = to_double(n); break;
    default: return DISP_E_BADVARTYPE;
  }
  if (FAILED(hr)) {
    out->llVal = 0;
    return hr;
  }
  out->vt = vt;
  return S_OK;
}

}  // namespace

void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  std::memset(static_cast<void*>(v), 0, sizeof *v);
  v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_POINTER;
  if (!valid_vt(v->vt) && v->vt != VT_EMPTY && v->vt != VT_NULL) return DISP_E_BADVARTYPE;
  switch (v->vt) {
    case VT_BSTR: SysFreeString(v->bstrVal); break;
    case VT_UNKNOWN: case VT_DISPATCH:
      if (v->punkVal != nullptr) v->punkVal->Release();
      break;
    default: break;
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_POINTER;
  if (dest == src) return S_OK;
  if (!valid_vt(src->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *src;
  if (src->vt == VT_BSTR && src->bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal != nullptr) {
    src->punkVal->AddRef();
  }
  // Cleared only now: src may be something dest owns, e.g. a reference
  // into it.
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_POINTER;
  return detail::guarded([&]() -> HRESULT {
    VARIANT result;
    VariantInit(&result);
    HRESULT hr;
    if ((vt & VT_BYREF) || !known_type(vt)) {
      hr = DISP_E_BADVARTYPE;
    } else {
      VARIANT plain;
      hr = dereference(src, &plain);
      if (SUCCEEDED(hr)) hr = convert(plain, flags, vt, &result, 0);
    }
    if (FAILED(hr)) {
      // In place, a failed conversion leaves the value as it was.
      if (dest != src) VariantClear(dest);
      return hr;
    }
    VariantClear(dest);
    *dest = result;
    return S_OK;
  });
}

}  // namespace com
