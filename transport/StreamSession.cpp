#include "transport/StreamSession.h"

#include <cstring>

#include "common/Trace.h"

namespace qern {

StreamSession::StreamSession(int32_t capacity) : StreamSessionCore(capacity) { SetVideoStream(&m_videoStream); }

StreamSession::~StreamSession() {
    SetVideoStream(nullptr);
    videoClient.Close();
    audioClient.Close();
}

bool StreamSession::Store(std::string& field, const char* text, size_t limit) {
    const size_t length = text ? std::strlen(text) : 0;
    if (length > limit) {
        QernTrace("StreamSession..text of %u bytes refused (at most %u)\n", static_cast<unsigned>(length),
                  static_cast<unsigned>(limit));
        field.clear();
        return false;
    }
    field.assign(text ? text : "", length);
    return true;
}

int32_t StreamSession::ClientStream::Read(uint8_t* buffer, int32_t size) {
    if (size < 1) return 0;
    return static_cast<int32_t>(m_client.Read(buffer, static_cast<uint32_t>(size)));
}

bool StreamSession::OpenVideo() {
    ResetStream();  // bytes of an earlier stream must not join the new one
    if (!videoClient.Open(m_url.c_str(), m_user.c_str(), m_password.c_str(), kUserAgent)) return false;
    return videoClient.Request(m_path.c_str(), HttpClient::RequestGet, nullptr);
}

void StreamSession::CloseVideo() { videoClient.Close(); }

bool StreamSession::OpenAudio() {
    if (!audioClient.Open(m_url.c_str(), m_user.c_str(), m_password.c_str(), kUserAgent)) return false;
    return audioClient.Request(kAudioPath, HttpClient::RequestGet, nullptr);
}

void StreamSession::CloseAudio() { audioClient.Close(); }

int32_t StreamSession::ReadAudio(uint8_t* buffer, int32_t length) {
    if (!buffer || length < 1) return 0;
    int32_t done = 0;
    int emptyReads = 0;
    while (done < length) {
        const uint32_t n = audioClient.Read(buffer + done, static_cast<uint32_t>(length - done));
        if (n == 0) {
            if (++emptyReads >= 16) break;
            continue;
        }
        done += static_cast<int32_t>(n);
    }
    return done;
}

bool StreamSession::CreateRecFinishEvent() {
    m_recFinish.Reset(CreateEventA(nullptr, TRUE, FALSE, "RecFinish"));
    if (!m_recFinish) return false;
    ResetEvent(m_recFinish.Get());  // an event that already existed may be signalled
    return true;
}

void StreamSession::OnFrameRecorded() {
    if (m_recFinish) SetEvent(m_recFinish.Get());
}

}  // namespace qern
