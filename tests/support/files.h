// Reading a test's sample and output files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file's bytes; empty when it cannot be read.
std::vector<uint8_t> file_bytes(const std::string& path);
