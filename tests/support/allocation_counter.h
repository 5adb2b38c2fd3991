// Counts calls of the global operator new made on the calling thread, so a test or benchmark can
// show that a path allocates nothing. Other threads (the link's reader) leave the count alone.
// Linking allocation_counter.cpp replaces the global operators for the whole program.
#pragma once

#include <cstddef>

namespace velta::testing {

std::size_t AllocationsOnThisThread();

}  // namespace velta::testing
