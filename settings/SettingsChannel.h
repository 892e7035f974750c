#pragma once
// The process's one channel to the camera's settings CGIs: one GET with Basic authorization per
// command on a raw socket, one receive per reply, the replies' values cached, every step told to
// a notify window with a synchronous message. Batches run from Open to Close under one lock.
#include <windows.h>

#include <cstdint>
#include <string>

#include "settings/ChannelLock.h"
#include "transport/SocketClient.h"

namespace qern {

// Notifications: the whole wParam, sent to the notify window.
constexpr WPARAM IDN_SETTING_APPLIED = 0x8064;  // WM_HSCROLL, lParam = the key text
constexpr WPARAM IDN_CHANNEL_OPEN = 0x8065;     // WM_COMMAND
constexpr WPARAM IDN_CHANNEL_FAILED = 0x8066;   // WM_COMMAND
constexpr WPARAM IDN_READ_FAILED = 0x8067;      // WM_COMMAND
constexpr WPARAM IDN_CHANNEL_CLOSED = 0x8068;   // WM_COMMAND

// Where a batch goes: the camera's dotted IPv4 address and port, the credentials, and the window
// that hears the notifications.
struct CameraEndpoint {
    std::string host;
    int32_t port = 80;
    std::string user;
    std::string password;
    HWND notify = nullptr;
};

class SettingsChannel {
public:
    static constexpr int kImageKeyCount = 13;
    // The image settings' keys, in the order of the cache.
    static const char* const kImageKeys[kImageKeyCount];
    static constexpr int32_t kImageReplySize = 1024;
    static constexpr int32_t kReplySize = 200;

    static SettingsChannel& Instance();

    // Takes the channel's lock (kept until Close, also when the connect fails) and connects.
    bool Open(const char* host, int32_t port, const char* user, const char* password, HWND notify);
    int Close();

    // Each ends with IDN_SETTING_APPLIED. False when the request could not be sent (channel
    // closed, or a request the camera could not take whole).
    bool SetNumber(const char* cgi, const char* key, int32_t value);
    bool SetText(const char* cgi, const char* key, const char* text);
    bool SetResolution(int32_t value) { return SetNumber("imagectrl", "Resl", value); }
    bool SetBrightness(int32_t value) { return SetNumber("imagectrl", "Brne", value); }
    bool SetContrast(int32_t value) { return SetNumber("imagectrl", "Cont", value); }
    bool SetSaturation(int32_t value) { return SetNumber("imagectrl", "Sarn", value); }
    bool SetHue(int32_t value) { return SetNumber("imagectrl", "Nhue", value); }
    bool SetRecordPeriod(int32_t minutes) { return SetNumber("DVRctrl", "TimeD", minutes); }
    bool SetRecordPath(const char* path) { return SetText("DVRctrl", "PathD", path); }

    int ReadImageSettings();
    int32_t GetImageSetting(const char* key);
    int ReadRecorderSettings();
    std::string GetRecordPath();
    int32_t GetRecordPeriod();
    int ReadIrState();
    // The cached image settings, in the order of kImageKeys.
    void CachedImageSettings(int32_t (&values)[kImageKeyCount]);

    // The live view's batches, each on one connection of its own.
    bool GetOriginalSetting(const CameraEndpoint& camera, std::string& path, int32_t& period);
    bool SaveOriginalSetting(const CameraEndpoint& camera, const char* path, int32_t period);
    int QueryIrState(const CameraEndpoint& camera);

    // Open on construction, Close on destruction.
    class Batch {
    public:
        Batch(SettingsChannel& channel, const CameraEndpoint& camera);
        ~Batch() { m_channel.Close(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        bool Opened() const { return m_opened; }

    private:
        SettingsChannel& m_channel;
        bool m_opened;
    };

private:
    SettingsChannel() = default;
    void Notify(UINT msg, WPARAM code, LPARAM lp = 0);
    // One request, one receive; the count of bytes received (0: none).
    int32_t Exchange(const std::string& path, char* reply, int32_t size);

    ChannelLock m_lock;
    int m_opens = 0;  // Opens of the thread that holds the lock, not yet closed
    SocketClient m_socket;
    std::string m_user;
    std::string m_password;
    HWND m_notify = nullptr;
    int32_t m_image[kImageKeyCount] = {};
    int32_t m_recordPeriod = 0;
    std::string m_recordPath;
};

}  // namespace qern
