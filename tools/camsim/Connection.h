#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "tools/camsim/BasicAuth.h"
#include "tools/camsim/EventLog.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/HttpRequest.h"
#include "tools/camsim/Options.h"
#include "tools/camsim/SettingsState.h"
#include "tools/camsim/Socket.h"

namespace camsim {

// What every connection of one simulator shares.
struct ServerContext {
    const Options& options;
    Credentials credentials;
    SettingsState& settings;
    LineLog& requestLog;
    LineLog& frameLog;
    const FileFrames* files;  // null unless --frames
    const StopSignal& stop;
};

// One accepted client: reads requests one after the other and answers each, until a
// stream ends the connection, the client closes it or the simulator stops.
class Connection {
public:
    Connection(const ServerContext& context, uint64_t id, int fd) : m_ctx(context), m_id(id), m_fd(fd) {}
    void Run();

private:
    // False when the connection is to be closed after the request.
    bool Handle(const HttpRequest& request);
    void StreamVideo();
    void StreamAudio();
    bool Send(std::string_view bytes);

    const ServerContext& m_ctx;
    uint64_t m_id;
    int m_fd;
};

}  // namespace camsim
