#pragma once
// The module's three classes in their registration order.
#include <cstddef>

#include "com/ComModule.h"

namespace qern {

const ClassEntry* ObjectMap(size_t& count);

}  // namespace qern
