#include "low/Low.h"

// A lower layer that reaches up.
#include "high/High.h"
