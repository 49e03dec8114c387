#pragma once

// Plain POSIX file callbacks for the cabinet writer, for programs that build
// cabinets on host paths outside the platform layer (benchmarks and tests).
// None of them uses the writer's context, so callers can wrap any of them
// and keep their own state in the context.

#include "cabinet/writer.h"

#include <cstdint>

namespace cab::posix {

void *allocMem(std::uint32_t cb);
void freeMem(void *memory);
// Host file modes from the writer's permission bits (0644 when none are given).
std::intptr_t openFile(const char *file, int oflag, int pmode, int *err, void *ctx);
std::uint32_t readFile(std::intptr_t hf, void *memory, std::uint32_t cb, int *err, void *ctx);
// Writes everything or fails; a short write is retried, not reported.
std::uint32_t writeFile(std::intptr_t hf, const void *memory, std::uint32_t cb, int *err,
                        void *ctx);
int closeFile(std::intptr_t hf, int *err, void *ctx);
long seekFile(std::intptr_t hf, long dist, int origin, int *err, void *ctx);
int removeFile(const char *file, int *err, void *ctx);

// Callbacks with the memory and file functions above filled in; placement,
// temporary names, the next cabinet, open info and status are the caller's.
Callbacks fileCallbacks();

} // namespace cab::posix
