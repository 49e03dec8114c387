#pragma once

// Marks the functions a deliverable exports. Deliverables are built with hidden
// visibility, so only these are seen by other deliverables and the shell host.
#define BRX_EXPORT __attribute__((visibility("default")))
// Exports that other modules look up by name (loaded at run time) use C names.
#define BRX_EXPORT_C extern "C" BRX_EXPORT
