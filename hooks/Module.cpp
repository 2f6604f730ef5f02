// What runs when the module is loaded and unloaded: the application object's
// construction and destruction, and nothing of the hooks.
#include "LeadBytes.h"

namespace {

// The module-wide application object. It holds nothing the hooks use; its
// construction is the one moment the lead-byte table is filled, before any
// entry point can be called.
class ModuleApplication {
  public:
    ModuleApplication() { LoadLeadByteTable(); }
};

ModuleApplication theApplication;

} // namespace
