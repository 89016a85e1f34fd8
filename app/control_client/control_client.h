// The imaging control as a host program holds it: created at run time
// through the component model by its type-library name, shown in place in
// a layer window of the host, and driven only by late-bound property reads
// and writes by dispatch identifier. The converter and the viewer share it.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/com.h"

namespace rxapp {

inline constexpr const char* kRastClassName = "RASTLib.Rast";

class EventSink;

// Registers, once, the window class of a host's place for the control: a
// plain window in a stock brush (PG_WHITE_BRUSH ...) that the control's own
// window is a child of. Returns `name`.
const char* place_class(const char* name, int32_t stock_brush);

class ControlClient {
 public:
  // Null when the class cannot be created; `result` then says why.
  static std::unique_ptr<ControlClient> create(com::HRESULT* result);
  // The control's dispatch interface, one reference the caller owns; null
  // as above.
  static com::IDispatch* createDispatch(com::HRESULT* result);

  // Takes over one reference to `control`.
  explicit ControlClient(com::IDispatch* control);
  ~ControlClient();
  ControlClient(const ControlClient&) = delete;
  ControlClient& operator=(const ControlClient&) = delete;

  void putShort(com::DISPID id, int16_t value);
  void putLong(com::DISPID id, int32_t value);
  void putBool(com::DISPID id, bool flag);
  void putDouble(com::DISPID id, double value);
  // File names go to the control as the bytes the file system uses.
  void putPath(com::DISPID id, const QString& path);
  // 0, 0.0 or empty when the member cannot be read.
  int32_t getLong(com::DISPID id) const;
  double getDouble(com::DISPID id) const;
  QString getString(com::DISPID id) const;

  // Activates the control in place: its own window as a child of `window`.
  bool showIn(uintptr_t window, int width, int height);
  // Follows the host's place when it changes size.
  void resize(int width, int height);
  // The control's own window, 0 while it is not shown.
  uintptr_t window() const;

  // Runs `handler` with each event the control fires, by its identifier.
  // Connects to the control's default event interface on first use.
  bool onEvent(std::function<void(com::DISPID)> handler);

 private:
  void put(com::DISPID id, com::VARIANT& value);
  bool get(com::DISPID id, com::VARTYPE type, com::VARIANT* out) const;

  com::IDispatch* control_;
  com::IInPlaceControl* place_ = nullptr;  // while shown
  EventSink* sink_ = nullptr;
  com::IConnectionPoint* point_ = nullptr;
  uint32_t cookie_ = 0;
};

}  // namespace rxapp
