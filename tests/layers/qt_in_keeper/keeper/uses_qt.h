#pragma once

// A helper file that includes Qt: the helper must stay Qt-free.
#include "keeper/shared/handoff.h"
#include <QString>
