#include "batch.h"

#include <unistd.h>

#include <filesystem>
#include <map>
#include <system_error>

#include "atomic_output.h"
#include "convert_file.h"
#include "error_report.h"
#include "exit_status.h"
#include "extensions.h"
#include "input_walk.h"
#include "path_map.h"
#include "progress.h"
#include "rastrix/rastrix.h"
#include "worker_pool.h"

namespace rxcli {
namespace {

namespace fs = std::filesystem;

struct Plan {
  std::vector<ConvertJob> jobs;
  std::vector<std::string> errors;  // inputs refused before any conversion
  size_t self_skips = 0;            // inputs that already are their own output
};

ConvertJob job_for(const BatchRequest& r, const std::optional<fs::path>& out_dir,
                   const InputFile& in, size_t index) {
  ConvertJob job;
  job.input = in.path;
  job.output = output_path(in.path, in.sub_dir, r.extension, out_dir);
  job.page = r.page;
  job.quality = r.quality;
  job.max_pixels = r.max_pixels;
  job.operations = r.operations;
  job.keep_existing = r.keep_existing;
  job.make_directories = out_dir.has_value();
  job.temp_tag = index;
  return job;
}

// Two inputs that map to one output would overwrite each other; the
// first one keeps it.
Plan make_plan(const BatchRequest& r, const std::optional<fs::path>& out_dir, InputList inputs) {
  Plan plan;
  plan.errors = std::move(inputs.errors);
  std::map<fs::path, fs::path> owner;
  for (const InputFile& in : inputs.files) {
    ConvertJob job = job_for(r, out_dir, in, plan.jobs.size());
    const fs::path key = fs::absolute(job.output).lexically_normal();
    if (auto [it, fresh] = owner.emplace(key, job.input); !fresh) {
      plan.errors.push_back(plain_report("cannot convert " + quote_name(job.input.native()),
                                         "its output " + quote_name(job.output.native()) +
                                             " is also the output of " + quote_name(it->second.native())));
    } else if (is_same_file(job.input, job.output)) {
      ++plan.self_skips;
    } else {
      plan.jobs.push_back(std::move(job));
    }
  }
  return plan;
}

PoolHooks hooks_for(const Plan& plan) {
  PoolHooks hooks;
  hooks.start = [] { return engine_start_for_tool(); };
  hooks.stop = [] { RX_engine_stop(); };
  hooks.run = [&plan](size_t i) { return convert_file(plan.jobs[i]); };
  hooks.lost = [&plan](size_t i, pid_t pid, const std::string& reason) {
    const ConvertJob& job = plan.jobs[i];
    unlink(temp_path_for(job.output, pid, job.temp_tag).c_str());
    return plain_report("cannot convert " + quote_name(job.input.native()), reason);
  };
  return hooks;
}

void count(Tally& tally, Outcome outcome) {
  switch (outcome) {
    case Outcome::Converted: ++tally.converted; break;
    case Outcome::Skipped: ++tally.skipped; break;
    case Outcome::Failed: ++tally.failed; break;
  }
}

std::optional<std::string> check_out_dir(const BatchRequest& r) {
  std::error_code ec;
  if (!r.out_dir || !fs::exists(*r.out_dir, ec) || fs::is_directory(*r.out_dir, ec))
    return std::nullopt;
  return "'" + *r.out_dir + "' is not a folder";
}

}  // namespace

int run_batch(const BatchRequest& request) {
  if (const auto problem = check_out_dir(request)) {
    print_report(plain_report("bad output folder", *problem));
    return kExitUsage;
  }
  const std::optional<fs::path> out_dir =
      request.out_dir ? std::optional<fs::path>(*request.out_dir) : std::nullopt;
  const Plan plan =
      make_plan(request, out_dir, collect_inputs(request.inputs, request.recursive, out_dir));
  Tally tally;
  tally.failed = plan.errors.size();
  tally.skipped = plan.self_skips;
  Progress progress(plan.jobs.size() + tally.done(), isatty(STDERR_FILENO) == 1);
  for (const std::string& e : plan.errors) progress.report(e, tally);
  progress.show(tally);
  run_tasks(plan.jobs.size(), request.jobs, hooks_for(plan),
            [&](size_t, const TaskResult& result) {
              count(tally, result.outcome);
              progress.report(result.report, tally);
            });
  progress.finish(tally);
  return tally.failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace rxcli
