#pragma once

#include <memory>

#include "host/shutdown.h"

namespace lir2 {

// The backend that really shuts the machine down. Only the lir2gui program links the library
// that defines it, so no test, benchmark or tool can reach it: a build without that library
// has no such function to call.
std::unique_ptr<ShutdownBackend> makeSystemShutdownBackend();

}  // namespace lir2
