// The reader-side image callbacks a load installs: the defaults that build
// the image as rows arrive, and the converting ones that also reduce depth,
// crop and resize.
#pragma once

#include "rastrix/rpb.h"

namespace rx {

// Writes the reader-side defaults into a stream record (the template).
void load_callbacks_install(IO_REC* io);

}  // namespace rx
