#pragma once
#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/camsim/Connection.h"
#include "tools/camsim/EventLog.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/Options.h"
#include "tools/camsim/SettingsState.h"
#include "tools/camsim/Socket.h"

namespace camsim {

// The simulated camera: a listening socket and one thread per client.
class Server {
 public:
  explicit Server(Options options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Opens the logs, reads --frames, binds and starts accepting. False with a message
  // when any of that fails.
  bool Start(std::string& error);
  // Ends every connection and waits for their threads.
  void Stop();

  int Port() const { return port_; }
  SettingsState& Settings() { return settings_; }

 private:
  struct Client {
    uint64_t id;
    FileDescriptor fd;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void AcceptLoop();
  void AcceptOne();
  void ReapFinished(bool all);

  Options options_;
  SettingsState settings_;
  LineLog requestLog_;
  LineLog frameLog_;
  FileFrames files_;
  StopSignal stop_;
  std::unique_ptr<ServerContext> context_;

  FileDescriptor listener_;
  bool listening_ = false;
  int port_ = -1;
  std::chrono::steady_clock::time_point started_;
  std::thread acceptThread_;

  std::mutex clientsMutex_;
  std::list<Client> clients_;
  uint64_t nextId_ = 1;
};

}  // namespace camsim
