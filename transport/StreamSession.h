// A live view's connections to the camera: the video stream, cut into frames
// by the platform-free core, and the audio stream.
#pragma once

#include <cstdint>
#include <string>

#include "transport/HttpClient.h"
#include "transport/StreamSessionCore.h"
#include "common/WinHandle.h"

namespace qern {

class StreamSession : public StreamSessionCore {
public:
    static constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; )";
    static constexpr const char* kAudioPath = "/audio.cgi";
    // Longest texts the session keeps (the live view's fields hold one more byte).
    static constexpr size_t kMaxUrl = 127;
    static constexpr size_t kMaxPath = 255;
    static constexpr size_t kMaxUser = 31;
    static constexpr size_t kMaxPassword = 31;

    explicit StreamSession(int32_t capacity = kRingCapacity);
    ~StreamSession() override;

    // A text longer than its field is refused: the field becomes empty and the
    // setter returns false, so the next open fails instead of reaching a wrong
    // address or sending a cut password.
    bool SetUrl(const char* text) { return Store(m_url, text, kMaxUrl); }
    bool SetPath(const char* text) { return Store(m_path, text, kMaxPath); }
    bool SetUser(const char* text) { return Store(m_user, text, kMaxUser); }
    bool SetPassword(const char* text) { return Store(m_password, text, kMaxPassword); }
    const std::string& Url() const { return m_url; }
    const std::string& Path() const { return m_path; }
    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }

    bool OpenVideo();
    // Safe from another thread while the worker is blocked in Fill or Read.
    void CloseVideo();
    bool OpenAudio();
    void CloseAudio();
    // Reads until length bytes came or 16 reads gave nothing; returns the count.
    int32_t ReadAudio(uint8_t* buffer, int32_t length);

    // The "RecFinish" event (manual reset, shared by name), unsignalled after
    // creation and signalled after each frame handed to the recording.
    bool CreateRecFinishEvent();
    void CloseRecFinishEvent() { m_recFinish.Close(); }
    HANDLE RecFinish() const { return m_recFinish.Get(); }

    HttpClient videoClient;
    HttpClient audioClient;

protected:
    void OnFrameRecorded() override;

private:
    class ClientStream : public ByteStream {
    public:
        explicit ClientStream(HttpClient& c) : m_client(c) {}
        int32_t Read(uint8_t* buffer, int32_t size) override;

    private:
        HttpClient& m_client;
    };

    static bool Store(std::string& field, const char* text, size_t limit);

    ClientStream m_videoStream{videoClient};
    KernelHandle m_recFinish;
    std::string m_url;
    std::string m_path;
    std::string m_user;
    std::string m_password;
};

}  // namespace qern
