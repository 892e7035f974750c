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

Server::Server(Options options) : m_options(std::move(options)), m_settings(InitialSettings(m_options)) {}

Server::~Server() { Stop(); }

bool Server::Start(std::string& error) {
    if (!m_options.requestLog.empty() && !m_requestLog.Open(m_options.requestLog)) {
        error = "cannot write " + m_options.requestLog;
        return false;
    }
    if (!m_options.frameLog.empty() && !m_frameLog.Open(m_options.frameLog)) {
        error = "cannot write " + m_options.frameLog;
        return false;
    }
    if (!m_options.framesDir.empty() && !m_files.Load(m_options.framesDir, error)) return false;

    m_listener = BindTcp(m_options.bindAddress, m_options.port, error);
    if (!m_listener.Valid()) return false;
    m_port = BoundPort(m_listener.Get());
    m_started = std::chrono::steady_clock::now();
    // Refused connections: the port stays bound but nothing listens on it.
    if (!RefusingAt(m_options.faults, 0.0)) {
        if (::listen(m_listener.Get(), 64) != 0) {
            error = std::string("listen: ") + std::strerror(errno);
            return false;
        }
        m_listening = true;
    }
    m_context = std::make_unique<ServerContext>(
        ServerContext{m_options, Credentials{m_options.user, m_options.password}, m_settings, m_requestLog, m_frameLog,
                      m_options.framesDir.empty() ? nullptr : &m_files, m_stop});
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void Server::Stop() {
    if (!m_acceptThread.joinable()) return;
    m_stop.Raise();
    m_acceptThread.join();
    {
        std::lock_guard<std::mutex> lock(m_clientsMutex);
        for (Client& c : m_clients) ::shutdown(c.fd.Get(), SHUT_RDWR);
    }
    ReapFinished(true);
    m_listener.Reset();
}

void Server::AcceptLoop() {
    using namespace std::chrono;
    while (!m_stop.Raised()) {
        ReapFinished(false);
        const double elapsed = duration<double>(steady_clock::now() - m_started).count();
        const bool refusing = RefusingAt(m_options.faults, elapsed);
        if (refusing && m_listening) {
            // A listening socket cannot stop listening: close it and bind the port again.
            std::string error;
            m_listener.Reset();
            m_listener = BindTcp(m_options.bindAddress, m_port, error);
            m_listening = false;
        } else if (!refusing && !m_listening) {
            std::string error;
            if (!m_listener.Valid()) m_listener = BindTcp(m_options.bindAddress, m_port, error);
            m_listening = m_listener.Valid() && ::listen(m_listener.Get(), 64) == 0;
        }
        if (!m_listening) {
            m_stop.WaitFor(milliseconds(20));
            continue;
        }
        pollfd p{m_listener.Get(), POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) AcceptOne();
    }
}

void Server::AcceptOne() {
    int fd = ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::lock_guard<std::mutex> lock(m_clientsMutex);
    Client& client = m_clients.emplace_back();
    client.id = m_nextId++;
    client.fd.Reset(fd);
    client.thread = std::thread([this, &client] {
        Connection(*m_context, client.id, client.fd.Get()).Run();
        // The peer sees the end at once; the descriptor is closed when the thread is reaped.
        ::shutdown(client.fd.Get(), SHUT_RDWR);
        client.done = true;
    });
}

void Server::ReapFinished(bool all) {
    std::list<Client> finished;
    {
        std::lock_guard<std::mutex> lock(m_clientsMutex);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            auto next = std::next(it);
            if (all || it->done) finished.splice(finished.end(), m_clients, it);
            it = next;
        }
    }
    for (Client& c : finished) c.thread.join();
}

}  // namespace camsim
