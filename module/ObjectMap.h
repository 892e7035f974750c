#pragma once
// The module's three classes in their registration order.
#include <cstddef>

#include "com/ComModule.h"

const qern::ClassEntry* ObjectMap(size_t& count);
