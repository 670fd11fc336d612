#pragma once

#include "app/single_instance.h"

#include <functional>
#include <optional>

namespace zs::app {

// After Exit on a desktop where no other process can take the crop over:
// runs the event loop without a window while `holdsCrop` says the clipboard
// still holds the program's crop, checked whenever the clipboard changes.
// Returns the request of a later start, which takes over from this program
// (it opens its window again with the crop still on the clipboard), or
// nothing once another program has taken the clipboard. When the session
// ends, Qt ends the program.
std::optional<HandedRequest> stayWithCrop(SingleInstance& instance,
                                          const std::function<bool()>& holdsCrop);

} // namespace zs::app
