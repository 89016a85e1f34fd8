// The exit statuses every command returns; scripts rely on them, so they
// never change meaning.
#pragma once

namespace rxcli {

inline constexpr int kExitOk = 0;      // everything worked
inline constexpr int kExitFailed = 1;  // at least one file failed
inline constexpr int kExitUsage = 2;   // the command line could not be understood

}  // namespace rxcli
