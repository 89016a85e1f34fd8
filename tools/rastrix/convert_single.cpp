#include "convert_single.h"

#include "convert_file.h"
#include "engine_session.h"
#include "error_report.h"
#include "exit_status.h"

namespace rxcli {

int run_convert(const ConvertRequest& request) {
  EngineSession engine;
  if (!engine.started()) {
    print_report(kEngineStartFailed);
    return kExitFailed;
  }
  ConvertJob job;
  job.input = request.input;
  job.output = request.output;
  job.page = request.page;
  job.format = request.format;
  job.quality = request.quality;
  job.max_pixels = request.max_pixels;
  job.operations = request.operations;
  const TaskResult result = convert_file(job);
  if (!result.report.empty()) print_report(result.report);
  return result.outcome == Outcome::Failed ? kExitFailed : kExitOk;
}

}  // namespace rxcli
