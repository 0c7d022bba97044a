#pragma once
// The routes the program runs: each probe reaches devices through the
// platform interfaces it is given.
#include "discovery/printer_class.h"
#include "discovery/routes.h"
#include "platform/platform.h"

namespace nolpa::discovery {

// `library` is asked at each printer-class probe for the library as the
// window holds it then (TMainForm::SerialLibrary).
Routes StandardRoutes(const platform::Platform& platform, SerialLibrarySource library);

}  // namespace nolpa::discovery
