#pragma once

namespace vxw {

// Called first thing on every thread the program starts. Sets the
// out-of-memory handler (it throws std::bad_alloc) and the fault translator
// for this thread: a processor fault becomes a vxw::WinException where that
// can be done safely; see the platform file for which faults qualify.
void InstallThreadHandlers();

}  // namespace vxw
