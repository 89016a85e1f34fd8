// The control as the program drives it: which properties are written, in
// what order and with which value types, and that the one reference is
// given back. A real control would accept wrong types silently (it widens
// them), so a recording stand-in checks them.
#include <QTest>

#include <vector>

#include "rast_host.h"
#include "rastrix/rx_codes.h"

namespace kavelo::test {

namespace {

struct Put {
  com::DISPID id;
  uint16_t flags;
  com::VARTYPE type;
  int number;       // VT_I2, VT_BOOL
  QByteArray text;  // VT_BSTR
  bool operator==(const Put&) const = default;
};

Put put(com::DISPID id, com::VARTYPE type, int number, const QByteArray& text = {}) {
  return {id, com::DISPATCH_PROPERTYPUT, type, number, text};
}

class RecordingDispatch final : public com::IDispatch {
 public:
  std::vector<Put> puts;
  uint32_t references = 1;

  com::HRESULT QueryInterface(const com::IID&, void** out) override {
    *out = nullptr;
    return com::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++references; }
  uint32_t Release() override { return --references; }
  com::HRESULT GetTypeInfoCount(uint32_t* count) override {
    *count = 0;
    return com::S_OK;
  }
  com::HRESULT GetTypeInfo(uint32_t, uint32_t, com::ITypeInfo**) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(const com::IID&, const char* const*, uint32_t, uint32_t,
                             com::DISPID*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT Invoke(com::DISPID id, const com::IID&, uint32_t, uint16_t flags,
                      com::DISPPARAMS* params, com::VARIANT*, com::EXCEPINFO*,
                      uint32_t*) override {
    if (!params || params->cArgs != 1) return com::DISP_E_BADPARAMCOUNT;
    const com::VARIANT& v = params->rgvarg[0];
    Put p{id, flags, v.vt, 0, {}};
    if (v.vt == com::VT_I2) p.number = v.iVal;
    if (v.vt == com::VT_BOOL) p.number = v.boolVal;
    if (v.vt == com::VT_BSTR) p.text = QByteArray(v.bstrVal, com::SysStringLen(v.bstrVal));
    puts.push_back(p);
    return com::S_OK;
  }
};

}  // namespace

class RastHostTest : public QObject {
  Q_OBJECT

 private slots:
  void eachFileIsClearedLoadedAndSavedInOrder() {
    RecordingDispatch control;
    {
      RastHost host(&control);
      host.convert(QStringLiteral("/p/a.bmp"), QStringLiteral("/p/a.jpg"));
      host.convert(QStringLiteral("/p/写真.BMP"), QStringLiteral("/p/写真.jpg"));
    }
    std::vector<Put> expected;
    // Paths travel as UTF-8, the bytes the file system knows them by.
    for (const char* name : {"/p/a", "/p/\xe5\x86\x99\xe7\x9c\x9f"}) {
      const QByteArray base(name);
      const QByteArray source = base + (base.endsWith('a') ? ".bmp" : ".BMP");
      for (const Put& p : {put(132, com::VT_BOOL, com::VARIANT_TRUE), put(4, com::VT_BSTR, 0, source),
                           put(100, com::VT_I2, 24), put(8, com::VT_I2, RX_FORMAT_JPEG),
                           put(62, com::VT_I2, 100), put(5, com::VT_BSTR, 0, base + ".jpg")}) {
        expected.push_back(p);
      }
    }
    QCOMPARE(control.puts.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      QVERIFY2(control.puts[i] == expected[i], qPrintable(QStringLiteral("write %1").arg(i)));
    }
    QCOMPARE(control.references, 0u);
  }
};

}  // namespace kavelo::test

QTEST_MAIN(kavelo::test::RastHostTest)
#include "test_rast_host.moc"
