#include "platform/platform.h"

// Placeholder: filled in by the run-control work.
