#pragma once
// The routes the program runs: each probe reaches devices through the
// platform interfaces it is given.
#include "discovery/routes.h"
#include "platform/platform.h"

namespace nolpa::discovery {

Routes StandardRoutes(const platform::Platform& platform);

}  // namespace nolpa::discovery
