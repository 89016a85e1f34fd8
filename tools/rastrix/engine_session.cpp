#include "engine_session.h"

#include "rastrix/rastrix.h"

namespace rxcli {

EngineSession::EngineSession() : started_(RX_engine_start(0) == 1) {}

EngineSession::~EngineSession() {
  if (started_) RX_engine_stop();
}

}  // namespace rxcli
