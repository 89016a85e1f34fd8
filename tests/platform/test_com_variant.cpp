// Strings, GUIDs, variant conversions, streams and type information.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/com.h"
#include "platform/com_server.h"

using namespace com;

namespace {

VARIANT make_i4(int32_t v) { VARIANT r; VariantInit(&r); r.vt = VT_I4; r.lVal = v; return r; }
VARIANT make_r8(double v) { VARIANT r; VariantInit(&r); r.vt = VT_R8; r.dblVal = v; return r; }
VARIANT make_str(const char* s) { VARIANT r; VariantInit(&r); r.vt = VT_BSTR; r.bstrVal = SysAllocString(s); return r; }
VARIANT make(VARTYPE vt) { VARIANT r; VariantInit(&r); r.vt = vt; return r; }

// Converts and returns the result code; the converted value stays in out.
HRESULT change(const VARIANT& in, VARTYPE vt, VARIANT* out, uint16_t flags = 0) {
  VariantInit(out);
  return VariantChangeType(out, &in, flags, vt);
}

// The same from a text, which is freed after.
HRESULT change_text(const char* text, VARTYPE vt, VARIANT* out) {
  VARIANT in = make_str(text);
  const HRESULT hr = change(in, vt, out);
  VariantClear(&in);
  return hr;
}

std::string text_of(const VARIANT& in, uint16_t flags = 0) {
  VARIANT out;
  if (FAILED(change(in, VT_BSTR, &out, flags))) return "<failed>";
  std::string s(out.bstrVal ? out.bstrVal : "", SysStringLen(out.bstrVal));
  VariantClear(&out);
  return s;
}

}  // namespace

TEST(ComBstr, LengthIsStoredAndEmbeddedZerosSurvive) {
  BSTR s = SysAllocStringLen("a\0b", 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(std::memcmp(s, "a\0b", 4), 0);  // terminated as well
  VARIANT v = make(VT_BSTR), copy = make(VT_EMPTY);
  v.bstrVal = s;
  ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
  EXPECT_NE(copy.bstrVal, s);
  EXPECT_EQ(SysStringLen(copy.bstrVal), 3u);
  EXPECT_EQ(std::memcmp(copy.bstrVal, "a\0b", 3), 0);
  VariantClear(&copy);
  VariantClear(&v);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  BSTR zeros = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(SysStringLen(zeros), 4u);
  EXPECT_EQ(zeros[3], '\0');
  SysFreeString(zeros);
  SysFreeString(nullptr);
}

TEST(ComGuid, TextRoundTripAndStrictParsing) {
  char text[39];
  guid_to_string(IID_IDispatch, text);
  GUID back{};
  ASSERT_TRUE(guid_from_string(text, &back));
  EXPECT_TRUE(guid_equal(back, IID_IDispatch));
  ASSERT_TRUE(guid_from_string("{92b1acb4-4bd5-478e-aff2-a109c12497e4}", &back));
  EXPECT_TRUE(guid_equal(back, IID_IDispatch));
  guid_to_string(IID_NULL, text);
  EXPECT_STREQ(text, "{00000000-0000-0000-0000-000000000000}");

  for (const char* bad : {"", "92b1acb4-4bd5-478e-aff2-a109c12497e4", "{92b1acb4-4bd5-478e-aff2-a109c12497e4",
                          "{92b1acb4-4bd5-478e-aff2-a109c12497e4}x", "{92b1acb4+4bd5-478e-aff2-a109c12497e4}",
                          "{92b1acbg-4bd5-478e-aff2-a109c12497e4}"})
    EXPECT_FALSE(guid_from_string(bad, &back)) << bad;
  EXPECT_FALSE(guid_from_string(nullptr, &back));
}

TEST(ComVariant, DoublesRoundHalfToEvenAndRefuseOverflow) {
  VARIANT out;
  struct { double in; int32_t want; } cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {0.5, 0},
                                                  {2.5000001, 3}, {-0.4, 0}, {1e9, 1000000000}};
  for (auto c : cases) {
    ASSERT_EQ(change(make_r8(c.in), VT_I4, &out), S_OK) << c.in;
    EXPECT_EQ(out.lVal, c.want) << c.in;
  }
  EXPECT_EQ(change(make_r8(255.49), VT_UI1, &out), S_OK);
  EXPECT_EQ(out.bVal, 255);
  // 255.5 rounds to 256; 2^63, 2^64 and 2^64 - 2048 (the largest double below).
  struct { double in; VARTYPE vt; HRESULT want; } edges[] = {
      {255.5, VT_UI1, DISP_E_OVERFLOW}, {-0.4, VT_UI1, S_OK}, {-0.6, VT_UI4, DISP_E_OVERFLOW},
      {2147483647.5, VT_I4, DISP_E_OVERFLOW}, {9223372036854775808.0, VT_I8, DISP_E_OVERFLOW},
      {18446744073709549568.0, VT_UI8, S_OK}, {18446744073709551616.0, VT_UI8, DISP_E_OVERFLOW},
      {static_cast<double>(NAN), VT_I4, DISP_E_OVERFLOW}, {1e39, VT_R4, DISP_E_OVERFLOW}};
  for (auto c : edges) EXPECT_EQ(change(make_r8(c.in), c.vt, &out), c.want) << c.in << " to " << c.vt;
}

TEST(ComVariant, IntegersCheckTheTargetRange) {
  VARIANT out;
  EXPECT_EQ(change(make_i4(-1), VT_UI4, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(make_i4(128), VT_I1, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(make_i4(-128), VT_I1, &out), S_OK);
  EXPECT_EQ(out.cVal, -128);
  VARIANT big = make(VT_UI8);
  big.ullVal = UINT64_MAX;
  EXPECT_EQ(change(big, VT_I8, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(big, VT_R8, &out), S_OK);
  big.vt = VT_I8;
  big.llVal = INT64_MIN;
  EXPECT_EQ(text_of(big), "-9223372036854775808");
}

TEST(ComVariant, StringsConvertOnlyWhenTheWholeTextIsANumber) {
  VARIANT out;
  struct { const char* text; int32_t want; } good[] = {{"42", 42}, {" -17 ", -17}, {"+8", 8}, {"1e5", 100000},
                                                      {"2.5", 2}, {"3.5", 4}, {".5e1", 5}};
  for (auto c : good) {
    ASSERT_EQ(change_text(c.text, VT_I4, &out), S_OK) << c.text;
    EXPECT_EQ(out.lVal, c.want) << c.text;
  }
  for (const char* bad : {"", " ", "12abc", "0x10", "1e", "--1", "inf", "nan", "1.2.3", "e5", "1 2"})
    EXPECT_EQ(change_text(bad, VT_I4, &out), DISP_E_TYPEMISMATCH) << bad;
  struct { const char* text; VARTYPE vt; HRESULT want; } edges[] = {
      {"32768", VT_I2, DISP_E_OVERFLOW}, {"-32768", VT_I2, S_OK},
      {"9223372036854775807", VT_I8, S_OK}, {"9223372036854775808", VT_I8, DISP_E_OVERFLOW},
      {"18446744073709551615", VT_UI8, S_OK}, {"99999999999999999999", VT_R8, S_OK},
      {"1e400", VT_R8, DISP_E_OVERFLOW}, {"1e-400", VT_R8, S_OK}, {"-1", VT_UI2, DISP_E_OVERFLOW}};
  for (auto c : edges) EXPECT_EQ(change_text(c.text, c.vt, &out), c.want) << c.text;
  ASSERT_EQ(change_text("9223372036854775807", VT_I8, &out), S_OK);
  EXPECT_EQ(out.llVal, INT64_MAX);  // exact, not through a double
}

TEST(ComVariant, BoolIsMinusOneOrZero) {
  VARIANT out;
  EXPECT_EQ(change(make_i4(5), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_EQ(change(make_r8(0.0), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  for (auto [text, want] : {std::pair{"True", VARIANT_TRUE}, {"fALSE", VARIANT_FALSE}, {" TRUE ", VARIANT_TRUE},
                            {"1", VARIANT_TRUE}, {"0", VARIANT_FALSE}}) {
    EXPECT_EQ(change_text(text, VT_BOOL, &out), S_OK) << text;
    EXPECT_EQ(out.boolVal, want) << text;
  }
  EXPECT_EQ(change_text("yes", VT_BOOL, &out), DISP_E_TYPEMISMATCH);
  VARIANT t = make(VT_BOOL);
  t.boolVal = VARIANT_TRUE;
  EXPECT_EQ(change(t, VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, -1);
  EXPECT_EQ(text_of(t), "-1");
  EXPECT_EQ(text_of(t, VARIANT_ALPHABOOL), "True");
}

TEST(ComVariant, NumbersBecomeShortestExactText) {
  EXPECT_EQ(text_of(make_r8(0.1)), "0.1");
  EXPECT_EQ(text_of(make_r8(-2.5)), "-2.5");
  EXPECT_EQ(text_of(make_r8(1e21)), "1e+21");
  VARIANT f = make(VT_R4);
  f.fltVal = 0.1f;
  EXPECT_EQ(text_of(f), "0.1");
  EXPECT_EQ(text_of(make_i4(-7)), "-7");
  EXPECT_EQ(text_of(make(VT_EMPTY)), "");
}

TEST(ComVariant, ByReferenceSourcesAreFollowed) {
  VARIANT out;
  int32_t n = 300;
  VARIANT ref = make(VT_BYREF | VT_I4);
  ref.plVal = &n;
  EXPECT_EQ(text_of(ref), "300");
  EXPECT_EQ(change(ref, VT_UI1, &out), DISP_E_OVERFLOW);

  VARIANT inner = make_str("12");
  VARIANT vref = make(VT_BYREF | VT_VARIANT);
  vref.pvarVal = &inner;
  ASSERT_EQ(change(vref, VT_I2, &out), S_OK);
  EXPECT_EQ(out.iVal, 12);
  ASSERT_EQ(change(vref, VT_BSTR, &out), S_OK);  // a copy: inner keeps its own string
  EXPECT_NE(out.bstrVal, inner.bstrVal);
  VariantClear(&out);
  VariantClear(&inner);

  ref.plVal = nullptr;
  EXPECT_EQ(change(ref, VT_I4, &out), E_INVALIDARG);
}

TEST(ComVariant, InPlaceAndInvalidTypes) {
  VARIANT v = make_str("77");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);  // the string is freed
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 77);
  VARIANT s = make_str("x");
  EXPECT_EQ(VariantChangeType(&s, &s, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(s.vt, VT_BSTR);  // unchanged on failure
  VariantClear(&s);

  VARIANT out;
  VARIANT bad = make(99), empty = make(VT_EMPTY);
  EXPECT_EQ(change(bad, VT_I4, &out), DISP_E_BADVARTYPE);
  EXPECT_EQ(change(make_i4(1), VT_BYREF | VT_I4, &out), DISP_E_BADVARTYPE);
  EXPECT_EQ(change(make_i4(1), VT_VOID, &out), DISP_E_BADVARTYPE);
  EXPECT_EQ(change(make(VT_NULL), VT_I4, &out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(change(empty, VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 0);
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantChangeType(nullptr, &empty, 0, VT_I4), E_POINTER);
}

TEST(ComStream, SeekReadWriteAndGaps) {
  IStream* s = nullptr;
  ASSERT_EQ(CreateMemoryStream("abc", 3, &s), S_OK);
  uint64_t pos = 0;
  ASSERT_EQ(s->Seek(2, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos, 5u);
  ASSERT_EQ(s->Write("z", 1, nullptr), S_OK);
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(MemoryStreamContent(s, &data, &size), S_OK);
  ASSERT_EQ(size, 6u);
  EXPECT_EQ(std::memcmp(data, "abc\0\0z", 6), 0);

  char buf[8] = {};
  uint32_t got = 0;
  ASSERT_EQ(s->Seek(-2, STREAM_SEEK_CUR, nullptr), S_OK);
  EXPECT_EQ(s->Read(buf, 8, &got), S_FALSE);  // short read
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(s->Seek(-7, STREAM_SEEK_END, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(0, 9, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(INT64_MAX, STREAM_SEEK_END, &pos), STG_E_INVALIDFUNCTION);
  s->Release();
  EXPECT_EQ(CreateMemoryStream(nullptr, 4, &s), E_INVALIDARG);
}

TEST(ComStream, PropertyValuesRoundTripAndCorruptDataIsRefused) {
  IStream* s = nullptr;
  ASSERT_EQ(CreateMemoryStream(nullptr, 0, &s), S_OK);
  VARIANT in[4] = {make_i4(-5), make_str("Käse\n=x"), make_r8(0.25), make(VT_EMPTY)};
  for (auto& v : in) ASSERT_EQ(stream_write_variant(s, v), S_OK);
  EXPECT_EQ(stream_write_variant(s, make(VT_DISPATCH)), DISP_E_BADVARTYPE);

  ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  VARIANT out;
  ASSERT_EQ(stream_read_variant(s, &out), S_OK);
  EXPECT_EQ(out.lVal, -5);
  ASSERT_EQ(stream_read_variant(s, &out), S_OK);
  EXPECT_STREQ(out.bstrVal, in[1].bstrVal);
  VariantClear(&out);
  ASSERT_EQ(stream_read_variant(s, &out), S_OK);
  EXPECT_EQ(out.dblVal, 0.25);
  ASSERT_EQ(stream_read_variant(s, &out), S_OK);
  EXPECT_EQ(out.vt, VT_EMPTY);
  EXPECT_EQ(stream_read_variant(s, &out), STG_E_READFAULT);  // at the end
  s->Release();
  VariantClear(&in[1]);

  // A string claiming 4 GB in a 10-byte stream, and an unknown tag.
  const uint8_t huge[] = {8, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c', 'd'};
  ASSERT_EQ(CreateMemoryStream(huge, sizeof huge, &s), S_OK);
  EXPECT_EQ(stream_read_variant(s, &out), STG_E_READFAULT);
  EXPECT_EQ(out.vt, VT_EMPTY);
  s->Release();
  const uint8_t unknown[] = {0x77, 0x00, 1, 2, 3, 4};
  ASSERT_EQ(CreateMemoryStream(unknown, sizeof unknown, &s), S_OK);
  EXPECT_EQ(stream_read_variant(s, &out), DISP_E_BADVARTYPE);
  s->Release();
}

TEST(ComTypeInfo, NamesAreCaseInsensitive) {
  static const MemberDesc members[] = {{7, "ZoomLevel", MEMBER_PROPERTY, VT_I2, 0, 0, nullptr},
                                       {8, "AboutBox", MEMBER_METHOD, VT_VOID, 0, 0, nullptr}};
  static const TypeDesc desc = {"_DTest", IID_NULL, 2, members};
  uint32_t objects_before = module_object_count();
  ITypeInfo* info = nullptr;
  ASSERT_EQ(CreateTypeInfo(&desc, &info), S_OK);
  EXPECT_EQ(module_object_count(), objects_before + 1);
  DISPID id = 0;
  EXPECT_EQ(info->GetIDOfName("zoomlevel", &id), S_OK);
  EXPECT_EQ(id, 7);
  EXPECT_EQ(info->GetIDOfName("ABOUTBOX", &id), S_OK);
  EXPECT_EQ(id, 8);
  EXPECT_EQ(info->GetIDOfName("Zoom", &id), DISP_E_UNKNOWNNAME);
  const MemberDesc* m = nullptr;
  EXPECT_EQ(info->GetMemberOfID(8, &m), S_OK);
  EXPECT_STREQ(m->name, "AboutBox");
  EXPECT_EQ(info->GetMemberOfID(9, &m), TYPE_E_ELEMENTNOTFOUND);
  info->Release();
  EXPECT_EQ(module_object_count(), objects_before);
  static const TypeDesc broken = {"_DBroken", IID_NULL, 3, nullptr};
  EXPECT_EQ(CreateTypeInfo(&broken, &info), E_INVALIDARG);
}
