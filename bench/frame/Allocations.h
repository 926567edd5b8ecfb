#pragma once

#include <cstdint>

// Allocations through operator new since the program started (the benchmark replaces it to count them).
std::uint64_t allocationCount();
