#include "tools/camsim/Server.h"

#include "tools/camsim/SettingsCgi.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace camsim {
namespace {

CameraSettings InitialSettings(const Options& o) {
  CameraSettings s;
  s.resl = ReslFromSize(o.size);
  if (s.resl == 0) s.resl = 1;
  s.frte = o.fps;
  s.irSet = o.irState;
  for (const std::string& setting : o.startSettings) ApplyStartSetting(s, setting);
  return s;
}

}  // namespace

Server::Server(Options options) : options_(std::move(options)), settings_(InitialSettings(options_)) {}

Server::~Server() { Stop(); }

bool Server::Start(std::string& error) {
  if (!options_.requestLog.empty() && !requestLog_.Open(options_.requestLog)) {
    error = "cannot write " + options_.requestLog;
    return false;
  }
  if (!options_.frameLog.empty() && !frameLog_.Open(options_.frameLog)) {
    error = "cannot write " + options_.frameLog;
    return false;
  }
  if (!options_.framesDir.empty() && !files_.Load(options_.framesDir, error)) return false;

  listener_ = BindTcp(options_.bindAddress, options_.port, error);
  if (!listener_.Valid()) return false;
  port_ = BoundPort(listener_.Get());
  started_ = std::chrono::steady_clock::now();
  // Refused connections: the port stays bound but nothing listens on it.
  if (!RefusingAt(options_.faults, 0.0)) {
    if (::listen(listener_.Get(), 64) != 0) {
      error = std::string("listen: ") + std::strerror(errno);
      return false;
    }
    listening_ = true;
  }
  context_ = std::make_unique<ServerContext>(ServerContext{
      options_, Credentials{options_.user, options_.password}, settings_, requestLog_, frameLog_,
      options_.framesDir.empty() ? nullptr : &files_, stop_});
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void Server::Stop() {
  if (!acceptThread_.joinable()) return;
  stop_.Raise();
  acceptThread_.join();
  {
    std::lock_guard<std::mutex> lock(clientsMutex_);
    for (Client& c : clients_) ::shutdown(c.fd.Get(), SHUT_RDWR);
  }
  ReapFinished(true);
  listener_.Reset();
}

void Server::AcceptLoop() {
  using namespace std::chrono;
  while (!stop_.Raised()) {
    ReapFinished(false);
    const double elapsed = duration<double>(steady_clock::now() - started_).count();
    const bool refusing = RefusingAt(options_.faults, elapsed);
    if (refusing && listening_) {
      // A listening socket cannot stop listening: close it and bind the port again.
      std::string error;
      listener_.Reset();
      listener_ = BindTcp(options_.bindAddress, port_, error);
      listening_ = false;
    } else if (!refusing && !listening_) {
      std::string error;
      if (!listener_.Valid()) listener_ = BindTcp(options_.bindAddress, port_, error);
      listening_ = listener_.Valid() && ::listen(listener_.Get(), 64) == 0;
    }
    if (!listening_) {
      stop_.WaitFor(milliseconds(20));
      continue;
    }
    pollfd p{listener_.Get(), POLLIN, 0};
    if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) AcceptOne();
  }
}

void Server::AcceptOne() {
  int fd = ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  std::lock_guard<std::mutex> lock(clientsMutex_);
  Client& client = clients_.emplace_back();
  client.id = nextId_++;
  client.fd.Reset(fd);
  client.thread = std::thread([this, &client] {
    Connection(*context_, client.id, client.fd.Get()).Run();
    // The peer sees the end at once; the descriptor is closed when the thread is reaped.
    ::shutdown(client.fd.Get(), SHUT_RDWR);
    client.done = true;
  });
}

void Server::ReapFinished(bool all) {
  std::list<Client> finished;
  {
    std::lock_guard<std::mutex> lock(clientsMutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      auto next = std::next(it);
      if (all || it->done) finished.splice(finished.end(), clients_, it);
      it = next;
    }
  }
  for (Client& c : finished) c.thread.join();
}

}  // namespace camsim
