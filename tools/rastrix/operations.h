// Image operations of `rastrix convert`: one table row per option, each
// naming its argument, explaining it, reading it from the command line and
// calling the engine once. A new operation is a new row.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "load_page.h"
#include "rastrix/rastrix.h"

namespace rxcli {

// The arguments of one operation as read from the command line. Which
// fields mean what is up to the row that reads them.
struct OpArgs {
  int32_t n[4] = {0, 0, 0, 0};
  double number = 0.0;
  bool percent = false;
  std::string file;  // a second image (merge)
  std::vector<int32_t> kernel;  // elements given row by row (convolve)
  std::string password;  // scramble, unscramble
};

struct OperationDef;

// One operation as given on the command line, ready to apply.
struct Operation {
  const OperationDef* def = nullptr;
  std::string spelling;  // as the user wrote it, with its value, for reports
  OpArgs args;
};

// Reads `value` into `args`; returns an error message or nothing.
using OpParse = std::string (*)(const std::string& value, OpArgs& args);
// Images an operation loads for itself; they go only after its failure
// report has been taken from the engine's error stack.
struct OpScratch {
  std::vector<Image> images;
};

// Applies the operation; returns the engine's error count (0: done).
using OpApply = int32_t (*)(RX_HIMAGE image, const OpArgs& args, OpScratch& scratch);

struct OperationDef {
  std::string_view name;      // the long option, without "--"
  std::string_view alias;     // a second spelling, or empty
  std::string_view argument;  // empty: the option takes no value
  std::string_view summary;   // one line for 'rastrix ops' and --help
  OpParse parse;
  OpApply apply;
};

std::span<const OperationDef> operation_table();

// Reads one operation; returns an error message or nothing.
std::string parse_operation(const OperationDef& def, const std::string& spelling,
                            const std::string& value, Operation& out);

// Applies the operations in order to the image loaded from `input`; stops
// at the first that fails and returns its report, else nothing.
std::string apply_operations(RX_HIMAGE image, const std::vector<Operation>& ops,
                             const std::string& input);

// The listing of 'rastrix ops': one line per operation, tab-separated
// option, argument and summary.
std::string operations_listing();

// The same laid out for reading, as the help shows it.
std::string operations_help();

}  // namespace rxcli
