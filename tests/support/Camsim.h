#pragma once
// The camera simulator this test runs beside (tools/test/with-camsim, qern_add_camsim_test): its
// port, its request log, and the set-up it was started with.
#include <cstddef>
#include <string>
#include <vector>

namespace qern {

namespace test {

// Port on 127.0.0.1, 0 when no simulator runs.
int CamsimPort();
// "http://127.0.0.1:PORT" followed by path.
std::string CamsimUrl(const std::string& path = "");
// The whole request log (one line per request), read now.
std::string CamsimRequestLog();
// The request log's lines from line `mark` on, moving `mark` past them (start at 0; a first call
// marks "now"): "auth=... GET TARGET", with the connection before it when asked. The streams
// (/video.cgi, /audio.cgi) are left out.
std::vector<std::string> CamsimRequestsSince(size_t& mark, bool withConnection = false);
// The set-up name given to qern_add_camsim_test (SETUP), empty without one.
std::string CamsimSetup();

}  // namespace test

// Skips a test that needs the simulator (started as `setup`, or any set-up for "") when it is not there.
#define QERN_NEED_CAMSIM(setup)                                                                            \
    if (qern::test::CamsimPort() == 0 || (*(setup) && qern::test::CamsimSetup() != (setup)))               \
        GTEST_SKIP() << "no camera" << (*(setup) ? " set up as " setup : "") << ": run under with-camsim"; \
    else                                                                                                   \
        (void)0

}  // namespace qern
