#pragma once
// The in-process frame hook: a host function without arguments that sees and may change each
// decoded frame through a buffer of the host's.
#include <cstddef>
#include <cstdint>

namespace qern {

using ImageProcessFunction = void (*)();

// Copies the frame into the buffer, calls the function and copies the buffer back. Skipped
// (false) while either address is 0.
bool RunImageProcessHook(uintptr_t callback, uintptr_t buffer, uint8_t* pixels, size_t bytes);

}  // namespace qern