#pragma once

#include <cstddef>
#include <cstdint>

// Runs one input through the unzip reader as the engine would: parse the
// directory, fill every catalogue record, map every name to a destination
// path and decode every entry (with a password for encrypted ones).
// Returns 0; a fault shows as a sanitizer report or a crash.
int runUnzipFuzzInput(const std::uint8_t *data, std::size_t size);
