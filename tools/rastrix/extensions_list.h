// `rastrix extensions`: the modules loaded into the command's engine.
#pragma once

namespace rxcli {

// Each loaded module's path, in load order, then one line per item,
// indented by a tab: "filter<TAB>CODE<TAB>NAME<TAB>read,write" or
// "codec<TAB>COMPRESSION<TAB>NAME<TAB>decode,encode".
int run_extensions();

}  // namespace rxcli
