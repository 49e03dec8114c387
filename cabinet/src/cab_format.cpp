#include "cab_format.h"

// The format helpers are inline; this unit checks that the header stands alone.
