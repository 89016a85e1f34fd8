/* Our small component model: interfaces with a stable C++ ABI (abstract
 * classes of virtual functions, no exceptions across them, fixed-width
 * types), variants, late-bound dispatch, connection points for events, a
 * property stream, a per-user registration store and creation of classes
 * from component libraries at run time.
 *
 * A component library is a shared object that exports (extern "C"):
 *   HRESULT DllGetClassObject(const CLSID*, const IID*, void**);
 *   HRESULT DllCanUnloadNow(void);
 *   HRESULT DllRegisterServer(void);       (optional)
 *   HRESULT DllUnregisterServer(void);     (optional)
 *   int32_t DllMain(uintptr_t module, uint32_t reason, void* reserved);
 *                                          (optional; reason 1 after the
 *                                          library is loaded, 0 before it is
 *                                          unloaded; 0 from reason 1 makes
 *                                          the load fail)
 * DllRegisterServer learns its own path from com_module_path(). */
#ifndef RASTRIX_PLATFORM_COM_H
#define RASTRIX_PLATFORM_COM_H

#include <stddef.h>
#include <stdint.h>

#define COM_EXPORT extern "C" __attribute__((visibility("default")))

namespace com {

typedef int32_t HRESULT;

/* Result codes. */
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT REGDB_E_WRITEREGDB = static_cast<HRESULT>(0x80040151u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x8004019Bu);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000Fu);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802Bu);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202u);
constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);
constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);
/* A caller's buffer is too small for the text asked for. */
constexpr HRESULT E_NOT_SUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007Au);
/* Self-registration failures of a component library. */
constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
/* The control framework's errors for a property write: a read-only
 * property at run time, and an edit the host refused. */
constexpr HRESULT CTL_E_SETNOTSUPPORTED = static_cast<HRESULT>(0x800A017Eu);
constexpr HRESULT CTL_E_PERMISSIONDENIED = static_cast<HRESULT>(0x800A0046u);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;

bool guid_equal(const GUID& a, const GUID& b);
/* "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" into a buffer of at least 39. */
void guid_to_string(const GUID& g, char out[39]);
/* Parses the braced form (case-insensitive); false on any other text. */
bool guid_from_string(const char* text, GUID* out);

extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_ITypeInfo;
extern const IID IID_IConnectionPointContainer;
extern const IID IID_IConnectionPoint;
extern const IID IID_IStream;
extern const IID IID_IPersistStreamInit;
extern const IID IID_IControlSite;
extern const IID IID_IControl;
extern const IID IID_IInPlaceControl;
extern const IID IID_IProvideClassInfo;
extern const IID IID_IProvideClassInfo2;
extern const IID IID_NULL;

/* ---- Strings ------------------------------------------------------------
 * A BSTR is UTF-8 text with its byte length stored in front; 0 is the
 * empty string. Every BSTR a caller receives is the caller's to free. */
typedef char* BSTR;
BSTR SysAllocString(const char* text);                  /* 0 for null text */
BSTR SysAllocStringLen(const char* text, uint32_t bytes);
void SysFreeString(BSTR s);
uint32_t SysStringLen(BSTR s);                          /* 0 for null */

/* ---- Variants ----------------------------------------------------------- */
typedef uint16_t VARTYPE;
enum : VARTYPE {
  VT_EMPTY = 0, VT_NULL = 1, VT_I2 = 2, VT_I4 = 3, VT_R4 = 4, VT_R8 = 5,
  VT_BSTR = 8, VT_DISPATCH = 9, VT_ERROR = 10, VT_BOOL = 11, VT_VARIANT = 12,
  VT_UNKNOWN = 13, VT_I1 = 16, VT_UI1 = 17, VT_UI2 = 18, VT_UI4 = 19,
  VT_I8 = 20, VT_UI8 = 21, VT_INT = 22, VT_UINT = 23, VT_VOID = 24,
  VT_HRESULT = 25, VT_BYREF = 0x4000
};
typedef int16_t VARIANT_BOOL;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct IUnknown;
struct IDispatch;

struct VARIANT {
  VARTYPE vt;
  uint16_t reserved[3];
  union {
    int8_t cVal;
    uint8_t bVal;
    int16_t iVal;
    uint16_t uiVal;
    int32_t lVal;
    uint32_t ulVal;
    int64_t llVal;
    uint64_t ullVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    int16_t* piVal;           /* VT_BYREF | VT_I2 */
    int32_t* plVal;           /* VT_BYREF | VT_I4 */
    int64_t* pllVal;          /* VT_BYREF | VT_I8 */
    float* pfltVal;           /* VT_BYREF | VT_R4 */
    double* pdblVal;          /* VT_BYREF | VT_R8 */
    VARIANT_BOOL* pboolVal;   /* VT_BYREF | VT_BOOL */
    BSTR* pbstrVal;           /* VT_BYREF | VT_BSTR */
    VARIANT* pvarVal;         /* VT_BYREF | VT_VARIANT */
    void* byref;              /* any VT_BYREF type */
  };
};
static_assert(sizeof(VARIANT) == 16, "VARIANT is 16 bytes");

void VariantInit(VARIANT* v);
/* Frees what the variant owns (a BSTR, a reference) and empties it. */
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
/* Converts src (by-reference values followed) to type vt into dest, which
 * is cleared first and may equal src. Integer targets refuse values that
 * do not fit (DISP_E_OVERFLOW); strings convert to numbers only when the
 * whole text is a number (DISP_E_TYPEMISMATCH otherwise); a BOOL is 0 or
 * -1; numbers become strings in their shortest exact decimal form. */
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt);
/* Flag of VariantChangeType: a BOOL becomes "True"/"False" rather than
 * "-1"/"0". */
enum : uint16_t { VARIANT_ALPHABOOL = 0x2 };

/* ---- Interfaces --------------------------------------------------------- */
struct IUnknown {
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) = 0;
  virtual HRESULT LockServer(int32_t lock) = 0;

 protected:
  ~IClassFactory() = default;
};

/* Invoke flags. */
enum : uint16_t {
  DISPATCH_METHOD = 1,
  DISPATCH_PROPERTYGET = 2,
  DISPATCH_PROPERTYPUT = 4,
  DISPATCH_PROPERTYPUTREF = 8
};
typedef int32_t DISPID;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;

/* Arguments in reverse order, as the convention has it: rgvarg[0] is the
 * last argument (and, for a property put, the new value). */
struct DISPPARAMS {
  VARIANT* rgvarg;
  DISPID* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
};

struct EXCEPINFO {
  uint16_t wCode;
  uint16_t wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  HRESULT scode;
};

/* A type description: the members of one interface, by name and DISPID. */
enum MemberKind : uint16_t { MEMBER_PROPERTY = 1, MEMBER_METHOD = 2, MEMBER_EVENT = 3 };
struct ParamDesc {
  const char* name;
  VARTYPE type;               /* VT_BYREF | type for by-reference parameters */
};
struct MemberDesc {
  DISPID dispid;
  const char* name;
  MemberKind kind;
  VARTYPE type;               /* property type, or result type (VT_VOID) */
  uint16_t read_only;         /* 1: a property a host may not write */
  uint16_t param_count;
  const ParamDesc* params;
};
/* An interface a class implements, as its class description lists it. */
enum ImplTypeFlags : uint32_t { IMPLTYPEFLAG_FDEFAULT = 1, IMPLTYPEFLAG_FSOURCE = 2 };
struct TypeDesc;
struct ImplTypeDesc {
  const TypeDesc* type;
  uint32_t flags;             /* IMPLTYPEFLAG_ bits */
};
/* A type description: an interface's members, or (with no members) a
 * class's implemented interfaces, with its class id in `iid`. */
struct TypeDesc {
  const char* name;           /* "_DRast", or the class's name "Rast" */
  GUID iid;
  uint32_t member_count;
  const MemberDesc* members;
  uint32_t impl_count = 0;
  const ImplTypeDesc* impls = nullptr;
};

struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeDesc(const TypeDesc** out) = 0;
  /* Case-insensitive, as the convention has it. */
  virtual HRESULT GetIDOfName(const char* name, DISPID* out) = 0;
  virtual HRESULT GetMemberOfID(DISPID id, const MemberDesc** out) = 0;
  /* A class's implemented interfaces: how many, and each with its flags. */
  virtual HRESULT GetImplTypeCount(uint32_t* count) = 0;
  virtual HRESULT GetImplType(uint32_t index, uint32_t* flags, ITypeInfo** out) = 0;

 protected:
  ~ITypeInfo() = default;
};
/* A type info over a static description (which must outlive it). */
HRESULT CreateTypeInfo(const TypeDesc* desc, ITypeInfo** out);

/* How a generic host learns an object's class, and with it the event
 * interface to connect to, without knowing the class beforehand. */
struct IProvideClassInfo : IUnknown {
  /* The class description (a type info with the implemented interfaces). */
  virtual HRESULT GetClassInfo(ITypeInfo** out) = 0;

 protected:
  ~IProvideClassInfo() = default;
};
enum GuidKind : uint32_t { GUIDKIND_DEFAULT_SOURCE_DISP_IID = 1 };
struct IProvideClassInfo2 : IProvideClassInfo {
  /* GUIDKIND_DEFAULT_SOURCE_DISP_IID: the interface id of the default
   * event interface. */
  virtual HRESULT GetGUID(uint32_t kind, GUID* out) = 0;

 protected:
  ~IProvideClassInfo2() = default;
};

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  virtual HRESULT GetTypeInfo(uint32_t index, uint32_t lcid, ITypeInfo** out) = 0;
  virtual HRESULT GetIDsOfNames(const IID& iid, const char* const* names, uint32_t count,
                                uint32_t lcid, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, const IID& iid, uint32_t lcid, uint16_t flags,
                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                         uint32_t* arg_err) = 0;

 protected:
  ~IDispatch() = default;
};

/* Late-bound conveniences for hosts. */
/* A failure an object reports through DISP_E_EXCEPTION comes back from
 * these as the object's own code (say CTL_E_SETNOTSUPPORTED). */
HRESULT disp_put(IDispatch* d, DISPID id, const VARIANT& value);
HRESULT disp_get(IDispatch* d, DISPID id, VARIANT* result);
/* args in reverse order, as in DISPPARAMS; result may be null. */
HRESULT disp_call(IDispatch* d, DISPID id, VARIANT* args, uint32_t count, VARIANT* result);
HRESULT disp_id_of(IDispatch* d, const char* name, DISPID* out);

/* ---- Events -------------------------------------------------------------
 * A sink is an IDispatch whose Invoke(dispid, DISPATCH_METHOD) receives
 * each event with its arguments in reverse order. */
struct IConnectionPoint : IUnknown {
  virtual HRESULT GetConnectionInterface(IID* out) = 0;
  virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};
struct IConnectionPointContainer : IUnknown {
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

/* ---- Persistence --------------------------------------------------------- */
enum : uint32_t { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };
struct IStream : IUnknown {
  virtual HRESULT Read(void* buffer, uint32_t count, uint32_t* read) = 0;
  virtual HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) = 0;
  virtual HRESULT Seek(int64_t move, uint32_t origin, uint64_t* position) = 0;

 protected:
  ~IStream() = default;
};
/* A growable stream in memory, starting empty (or with a copy of data). */
HRESULT CreateMemoryStream(const void* data, uint32_t size, IStream** out);
/* The whole content of a memory stream made by CreateMemoryStream. */
HRESULT MemoryStreamContent(IStream* stream, const uint8_t** data, uint32_t* size);

struct IPersistStreamInit : IUnknown {
  virtual HRESULT GetClassID(CLSID* out) = 0;
  virtual HRESULT IsDirty() = 0;            /* S_OK when modified */
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, int32_t clear_dirty) = 0;
  virtual HRESULT GetSizeMax(uint64_t* size) = 0;
  virtual HRESULT InitNew() = 0;

 protected:
  ~IPersistStreamInit() = default;
};

/* ---- Control hosting -----------------------------------------------------
 * The host's side of an embedded control, and the control's side. */
struct IControlSite : IUnknown {
  /* TRUE (-1) in user (run) mode, FALSE in design mode. */
  virtual HRESULT GetAmbientUserMode(VARIANT_BOOL* user_mode) = 0;
  /* Data binding: S_OK allows editing the bound property, S_FALSE refuses. */
  virtual HRESULT OnRequestEdit(DISPID id) = 0;
  virtual HRESULT OnChanged(DISPID id) = 0;

 protected:
  ~IControlSite() = default;
};
struct IControl : IUnknown {
  virtual HRESULT SetSite(IControlSite* site) = 0;      /* null detaches */
  /* The extent in HIMETRIC (0.01 mm). */
  virtual HRESULT GetExtent(int32_t* cx, int32_t* cy) = 0;
  virtual HRESULT SetExtent(int32_t cx, int32_t cy) = 0;

 protected:
  ~IControl() = default;
};
/* A control that shows itself in a window of its own inside its host's
 * window, queried from IControl. Windows are window-layer handles as
 * pointer-sized values; rectangles are (left, top, right, bottom) in the
 * parent's client coordinates (device pixels for Draw). */
struct IInPlaceControl : IUnknown {
  /* Creates the control's child window of `parent` over `rect`; a control
   * already active moves its window there instead. */
  virtual HRESULT InPlaceActivate(uintptr_t parent, const int32_t* rect) = 0;
  /* Moves the window when the host moves the control's place. */
  virtual HRESULT SetObjectRect(const int32_t* rect) = 0;
  /* Destroys the window; S_FALSE when there was none. */
  virtual HRESULT InPlaceDeactivate() = 0;
  /* The window, or 0 with E_FAIL while the control is not active. */
  virtual HRESULT GetWindow(uintptr_t* window) = 0;
  /* Draws the control into a device context within `bounds`, for design
   * mode, printing and pictures. */
  virtual HRESULT Draw(uintptr_t dc, const int32_t* bounds) = 0;

 protected:
  ~IInPlaceControl() = default;
};

/* ---- Registration store -------------------------------------------------
 * A human-readable file per user, $XDG_CONFIG_HOME/rastrix/com-registry
 * (XDG_CONFIG_HOME defaults to ~/.config). It holds keys such as
 * "CLSID\{...}\InprocServer32" with a default value and named values.
 * Every change rewrites the file under a lock, writing a new file and
 * renaming it over the old, so that concurrent registrations never
 * corrupt it. Key names are case-insensitive. */
HRESULT reg_path(char* out, uint32_t size);
/* Sets a value of a key (name null or "" for the default value),
 * creating the key. */
HRESULT reg_set_value(const char* key, const char* name, const char* value);
/* S_OK and the value, or REGDB_E_CLASSNOTREG-style E_FAIL when absent. */
HRESULT reg_get_value(const char* key, const char* name, char* out, uint32_t size);
/* Deletes a key with every key below it; S_OK even when it was absent. */
HRESULT reg_delete_tree(const char* key);

/* The usual registrations, built on the three calls above. */
HRESULT reg_register_class(const CLSID& clsid, const char* prog_id, const char* type_name,
                           const char* library_path);
HRESULT reg_unregister_class(const CLSID& clsid, const char* prog_id);
/* A type library: its id, version, name ("RASTLib"), path, and its
 * coclasses by name, so that "RASTLib.Rast" names a class. */
struct CoclassEntry {
  const char* name;
  CLSID clsid;
};
HRESULT reg_register_typelib(const GUID& libid, uint16_t major, uint16_t minor,
                             const char* name, const char* doc, const char* library_path,
                             const CoclassEntry* coclasses, uint32_t count);
HRESULT reg_unregister_typelib(const GUID& libid, uint16_t major, uint16_t minor);

/* ---- Creation ------------------------------------------------------------ */
HRESULT CLSIDFromProgID(const char* prog_id, CLSID* out);
/* Resolves a class name: a ProgID ("RAST.RastCtrl.1"), a type-library
 * name ("RASTLib.Rast") or a braced class id. */
HRESULT CLSIDFromName(const char* name, CLSID* out);
HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out);
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out);
HRESULT CoCreateInstanceByName(const char* name, const IID& iid, void** out);
/* Unloads the libraries whose DllCanUnloadNow says S_OK. */
void CoFreeUnusedLibraries();

/* For a component library's own code: the path of the shared object that
 * holds `address` (pass the address of any function of the library). */
HRESULT com_module_path(const void* address, char* out, uint32_t size);

/* Loads a library as the creation path does (running DllMain), calls its
 * DllRegisterServer or DllUnregisterServer, and unloads it. */
HRESULT com_library_register(const char* path, bool unregister);

}  // namespace com

#endif
