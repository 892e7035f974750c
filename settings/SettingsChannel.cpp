#include "settings/SettingsChannel.h"

#include <cstring>
#include <vector>

#include "settings/SettingsReply.h"
#include "common/Trace.h"

namespace qern {

const char* const SettingsChannel::kImageKeys[kImageKeyCount] = {"Resl", "Ligt", "Frte", "Auex", "Auwb", "Shap", "Nhum",
                                                                 "Brne", "Cont", "Sarn", "Freq", "Mirr", "Vflp"};

SettingsChannel& SettingsChannel::Instance() {
    static SettingsChannel channel;
    return channel;
}

namespace {

// Credentials that do not fit the camera's fields are refused, not cut into another name.
std::string Credential(const char* text) {
    if (!text) return std::string();
    const size_t length = std::strlen(text);
    return length > kMaxCredential ? std::string() : std::string(text, length);
}

}  // namespace

void SettingsChannel::Notify(UINT msg, WPARAM code, LPARAM lp) {
    if (m_notify) SendMessageW(m_notify, msg, code, lp);
}

bool SettingsChannel::Open(const char* host, int32_t port, const char* user, const char* password, HWND notify) {
    QernTrace("SettingsChannel::Open(%s:%d)..\n", host ? host : "", port);
    m_lock.Acquire();
    ++m_opens;
    m_notify = notify;
    const bool fits =
        (!user || std::strlen(user) <= kMaxCredential) && (!password || std::strlen(password) <= kMaxCredential);
    m_user = Credential(user);
    m_password = Credential(password);
    const bool connected = fits && host && m_socket.Connect(host, port);
    if (!connected) m_socket.Close();
    Notify(WM_COMMAND, connected ? IDN_CHANNEL_OPEN : IDN_CHANNEL_FAILED);
    return connected;
}

int SettingsChannel::Close() {
    ChannelLockGuard guard(m_lock);
    m_socket.Close();
    Notify(WM_COMMAND, IDN_CHANNEL_CLOSED);
    if (m_opens > 0) {
        --m_opens;
        m_lock.Release();
    }
    return 0;
}

int32_t SettingsChannel::Exchange(const std::string& path, char* reply, int32_t size) {
    std::memset(reply, 0, static_cast<size_t>(size));
    if (path.empty() || !m_socket.SendRequest(path.c_str(), m_user.c_str(), m_password.c_str())) return 0;
    const int32_t n = m_socket.Receive(reply, size);
    // A camera that did not answer in time may still answer later: that answer must not be
    // taken for the reply to the next request, so the rest of the batch fails at once.
    if (n <= 0) m_socket.Close();
    return n;
}

bool SettingsChannel::SetNumber(const char* cgi, const char* key, int32_t value) {
    ChannelLockGuard guard(m_lock);
    std::string path;
    const bool made = cgi && key && FormatSettingPath(cgi, key, value, path);
    char reply[kReplySize];
    const bool sent = made && Exchange(path, reply, kReplySize) > 0;
    Notify(WM_HSCROLL, IDN_SETTING_APPLIED, reinterpret_cast<LPARAM>(key));
    return sent;
}

bool SettingsChannel::SetText(const char* cgi, const char* key, const char* text) {
    ChannelLockGuard guard(m_lock);
    std::string path;
    const bool made = cgi && key && text && FormatSettingPath(cgi, key, text, path);
    char reply[kReplySize];
    const bool sent = made && Exchange(path, reply, kReplySize) > 0;
    Notify(WM_HSCROLL, IDN_SETTING_APPLIED, reinterpret_cast<LPARAM>(key));
    return sent;
}

int SettingsChannel::ReadImageSettings() {
    ChannelLockGuard guard(m_lock);
    std::vector<char> reply(kImageReplySize);
    const int32_t n = Exchange("/Rdimagectrl.cgi", reply.data(), kImageReplySize);
    if (n <= 0) return 0;
    const std::string_view text = ReplyText(reply.data(), static_cast<size_t>(n));
    for (int i = 0; i < kImageKeyCount; ++i) ParseNumber(text, kImageKeys[i], m_image[i]);
    return 1;
}

int32_t SettingsChannel::GetImageSetting(const char* key) {
    ChannelLockGuard guard(m_lock);
    if (!ReadImageSettings()) {
        Notify(WM_COMMAND, IDN_READ_FAILED);
        return 0;
    }
    if (!key) return 0;
    for (int i = 0; i < kImageKeyCount; ++i) {
        if (std::strcmp(key, kImageKeys[i]) == 0) return m_image[i];
    }
    return std::strcmp(key, "TimeD") == 0 ? m_recordPeriod : 0;
}

int SettingsChannel::ReadRecorderSettings() {
    ChannelLockGuard guard(m_lock);
    char reply[kReplySize];
    const int32_t n = Exchange("/RdDVRctrl.cgi", reply, kReplySize);
    if (n <= 0) return 0;
    const std::string_view text = ReplyText(reply, static_cast<size_t>(n));
    m_recordPath.clear();
    ParseText(text, "DvrPath :", m_recordPath);
    ParseNumber(text, "DvrTime :", m_recordPeriod);
    return 1;
}

std::string SettingsChannel::GetRecordPath() {
    ChannelLockGuard guard(m_lock);
    ReadRecorderSettings();
    return m_recordPath;
}

int32_t SettingsChannel::GetRecordPeriod() {
    ChannelLockGuard guard(m_lock);
    if (!ReadImageSettings()) {
        Notify(WM_COMMAND, IDN_READ_FAILED);
        return 0;
    }
    return GetImageSetting("TimeD");
}

int SettingsChannel::ReadIrState() {
    ChannelLockGuard guard(m_lock);
    char reply[kReplySize];
    const int32_t n = Exchange("/RdPTctrl.cgi", reply, kReplySize);
    return n > 0 && ParseIrFlag(ReplyText(reply, static_cast<size_t>(n))) ? 1 : 0;
}

void SettingsChannel::CachedImageSettings(int32_t (&values)[kImageKeyCount]) {
    ChannelLockGuard guard(m_lock);
    std::memcpy(values, m_image, sizeof m_image);
}

SettingsChannel::Batch::Batch(SettingsChannel& channel, const CameraEndpoint& camera)
    : m_channel(channel),
      m_opened(channel.Open(camera.host.c_str(), camera.port, camera.user.c_str(), camera.password.c_str(),
                            camera.notify)) {}

bool SettingsChannel::GetOriginalSetting(const CameraEndpoint& camera, std::string& path, int32_t& period) {
    Batch batch(*this, camera);
    if (!batch.Opened()) return false;
    // A silent camera leaves the cache of an earlier read: that is no answer of this camera.
    const bool read = ReadRecorderSettings() == 1;
    const std::string readPath = m_recordPath;
    const int32_t readPeriod = GetRecordPeriod();
    if (!read) return false;
    path = readPath;
    period = readPeriod;
    return !path.empty();
}

bool SettingsChannel::SaveOriginalSetting(const CameraEndpoint& camera, const char* path, int32_t period) {
    Batch batch(*this, camera);
    if (!batch.Opened()) return false;
    const bool pathSent = SetRecordPath(path);
    const bool periodSent = SetRecordPeriod(period);
    return pathSent && periodSent;
}

int SettingsChannel::QueryIrState(const CameraEndpoint& camera) {
    Batch batch(*this, camera);
    return batch.Opened() ? ReadIrState() : 0;
}

}  // namespace qern
