#include "brxutil.h"

// The list, tree and header controls of the system are Qt's item views, which
// offer every feature the views ask about (header images, full-row select, grid
// lines, hover selection, column drag), so they stand for version 6.0.
double GetComCtlVer() { return 6.0; }
