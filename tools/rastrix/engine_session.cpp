#include "engine_session.h"

#include "extensions.h"
#include "rastrix/rastrix.h"

namespace rxcli {

EngineSession::EngineSession() : started_(engine_start_for_tool()) {}

EngineSession::~EngineSession() {
  if (started_) RX_engine_stop();
}

}  // namespace rxcli
