// The module's own last-resort handler for an exception that nothing
// caught. No exception is meant to get this far: every entry point catches
// what its work may raise. The run-time's default handler would print the
// exception's demangled type to a console an installer does not have, and
// brings the whole demangler and a printf into the module for it.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
