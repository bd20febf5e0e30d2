#include "run/settings.h"
