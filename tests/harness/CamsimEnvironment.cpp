#include "tests/harness/CamsimEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qern::test {

int CamsimPort() {
  const char* port = std::getenv("QERN_CAMSIM_PORT");
  return port ? std::atoi(port) : 0;
}

std::string CamsimRequestLog() {
  const char* path = std::getenv("QERN_CAMSIM_LOG_WIN");
  if (!path) return {};
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qern::test
