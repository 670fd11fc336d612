#pragma once

// A form runtime file that reaches a screen-capture backend: the layer check
// must refuse it.
#include "screen/x11_shm_capture.h"
#include "services/services.h"
