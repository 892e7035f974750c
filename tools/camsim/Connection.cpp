#include "tools/camsim/Connection.h"

#include <sys/socket.h>

#include <cerrno>

#include "tools/camsim/AudioSource.h"
#include "tools/camsim/Crc32.h"
#include "tools/camsim/HttpReply.h"
#include "tools/camsim/PartHeader.h"
#include "tools/camsim/SettingsCgi.h"

namespace camsim {

using Clock = std::chrono::steady_clock;

void Connection::Run() {
    if (m_ctx.options.faults.noAnswer) {
        HoldUntilClosed(m_fd, m_ctx.stop);
        return;
    }
    std::string buffer;
    char chunk[4096];
    while (!m_ctx.stop.Raised()) {
        HeadParse parse = ParseRequestHead(buffer);
        if (parse.status == HeadStatus::Complete) {
            buffer.erase(0, parse.consumed);
            if (!Handle(parse.request)) return;
            continue;
        }
        if (parse.status == HeadStatus::TooLarge) {
            Send(TextReply(431, "Request head too large\r\n", false));
            return;
        }
        if (parse.status == HeadStatus::Malformed) {
            Send(TextReply(400, "Malformed request\r\n", false));
            return;
        }
        ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        buffer.append(chunk, static_cast<size_t>(n));
    }
}

bool Connection::Send(std::string_view bytes) { return SendAll(m_fd, bytes); }

bool Connection::Handle(const HttpRequest& request) {
    std::optional<std::string> authorization = request.Header("Authorization");
    const bool authorized = authorization && BasicAuthorizationMatches(*authorization, m_ctx.credentials);
    m_ctx.requestLog.Write(RequestLogLine(m_id, authorized, request.method, request.target));
    const bool keepAlive = request.KeepAlive();
    const double delay = m_ctx.options.faults.answerAfter;
    if (delay > 0 &&
        m_ctx.stop.WaitUntil(Clock::now() + std::chrono::microseconds(static_cast<int64_t>(delay * 1e6)))) {
        return false;
    }

    if (!authorized) return Send(UnauthorizedReply(m_ctx.options.realm, keepAlive)) && keepAlive;
    if (request.method != "GET") return Send(TextReply(405, "Only GET is served\r\n", keepAlive)) && keepAlive;

    const std::string path = request.Path();
    if (path == "/video.cgi") {
        StreamVideo();
        return false;
    }
    if (path == "/audio.cgi" && !m_ctx.options.audio.absent) {
        StreamAudio();
        return false;
    }
    if (std::optional<CgiReply> reply = HandleSettingsCgi(path, request.Query(), m_ctx.settings)) {
        // Reply, status line and headers in one send: the settings client reads once.
        return Send(TextReply(reply->status, reply->body, keepAlive)) && keepAlive;
    }
    return Send(TextReply(404, "Not found\r\n", keepAlive)) && keepAlive;
}

void Connection::StreamVideo() {
    const Options& o = m_ctx.options;
    const FaultPlan& faults = o.faults;
    std::string head = StreamHead(VideoContentType());
    const bool drip = faults.dripBytesPerSecond > 0;
    auto send = [&](const void* data, size_t size) {
        return drip ? SendDripping(m_fd, data, size, faults.dripBytesPerSecond, m_ctx.stop) : SendAll(m_fd, data, size);
    };
    if (!send(head.data(), head.size())) return;

    std::unique_ptr<FrameSource> source;
    if (m_ctx.files)
        source = std::make_unique<FileFrameSource>(*m_ctx.files);
    else
        source = std::make_unique<LiveFrameSource>(o.jpeg, faults);

    const uint32_t startSeconds = o.startTime.value_or(ClockStamp(0).seconds);
    const auto interval = std::chrono::microseconds(1000000 / o.fps);
    auto due = Clock::now();
    std::string part;
    for (uint64_t n = 0; !m_ctx.stop.Raised(); ++n) {
        StreamAction action = ActionBeforeFrame(faults, n);
        if (action == StreamAction::Drop) return;
        if (action == StreamAction::Stall) {
            HoldUntilClosed(m_fd, m_ctx.stop);
            return;
        }
        if (m_ctx.stop.WaitUntil(due)) return;
        // A client that fell behind gets the next frame at once, not a burst of old ones.
        due = std::max(due + interval, Clock::now() - interval);

        JpegData jpeg = source->Frame(n, m_ctx.settings.Snapshot());
        if (!jpeg) return;
        const PartFault fault = FaultForFrame(faults, n);
        std::optional<FrameStamp> stamp;
        if (!o.noStamp) stamp = o.exactStamps ? ExactStamp(startSeconds, n, o.fps) : ClockStamp(n);

        part = FormatPartHeader(DeclaredLength(faults, fault, jpeg->size()), stamp);
        part.append(reinterpret_cast<const char*>(jpeg->data()), SentLength(fault, jpeg->size()));
        part += kPartTrailer;
        if (faults.garbageBytes > 0) {
            std::vector<uint8_t> noise = GarbageBytes(static_cast<size_t>(faults.garbageBytes), n);
            part.append(reinterpret_cast<const char*>(noise.data()), noise.size());
        }
        if (!send(part.data(), part.size())) return;
        m_ctx.frameLog.Write(FrameLogLine(m_id, n, jpeg->size(), Crc32(jpeg->data(), jpeg->size()), fault));
    }
}

void Connection::StreamAudio() {
    if (!Send(StreamHead("application/octet-stream"))) return;
    AudioSource source(m_ctx.options.audio);
    // Each frame holds 128 samples: 16 ms at 8000 samples per second.
    const auto start = Clock::now();
    for (uint64_t i = 0; !m_ctx.stop.Raised(); ++i) {
        const auto due = start + std::chrono::microseconds(i * kAudioSamplesPerFrame * 1000000 / kAudioSampleRate);
        if (m_ctx.stop.WaitUntil(due)) return;
        if (m_ctx.options.audio.dropAfter > 0 && i >= static_cast<uint64_t>(m_ctx.options.audio.dropAfter)) return;
        if (source.Skipped(i)) continue;
        std::vector<uint8_t> frame = source.Frame(i);
        if (!SendAll(m_fd, frame.data(), frame.size())) return;
    }
}

}  // namespace camsim
