// The camera simulator that the test harness started for this run (tools/test/with-camsim).
#pragma once

#include <string>

namespace qern::test {

// Port of the simulator on 127.0.0.1, or 0 when the harness started none.
int CamsimPort();

// Lines of the simulator's request log, read now.
std::string CamsimRequestLog();

}  // namespace qern::test
