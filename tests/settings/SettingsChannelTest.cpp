// The settings channel against its own camera simulator (started with non-default settings) and
// against scripted peers that answer in pieces, stay silent or never take the connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "settings/SettingsChannel.h"
#include "tests/support/Camsim.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"
#include "tests/transport/LoopbackServer.h"

namespace qern {

namespace {

using Strings = std::vector<std::string>;
using qern::test::CamsimRequestsSince;

// A message-only window noting the channel's notifications in order of arrival.
struct Notes {
    Notes() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QernSettingsNotes";
        RegisterClassW(&wc);
        hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Notes() { DestroyWindow(hwnd); }
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        static const char* const names[] = {"open", "failed", "read-failed", "closed"};
        auto* self = reinterpret_cast<Notes*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && msg == WM_HSCROLL && wp == IDN_SETTING_APPLIED)
            self->seen.push_back(std::string("applied ") + reinterpret_cast<const char*>(lp));
        if (self && msg == WM_COMMAND && wp >= IDN_CHANNEL_OPEN && wp <= IDN_CHANNEL_CLOSED)
            self->seen.push_back(names[wp - IDN_CHANNEL_OPEN]);
        return DefWindowProcW(w, msg, wp, lp);
    }
    HWND hwnd;
    Strings seen;
};

CameraEndpoint Camsim(HWND notify, const char* password = "admin") {
    return CameraEndpoint{"127.0.0.1", qern::test::CamsimPort(), "admin", password, notify};
}

TEST(SettingsChannel, BatchesAgainstTheCamera) {
    QERN_NEED_CAMSIM("settings-channel");
    SettingsChannel& channel = SettingsChannel::Instance();
    Notes notes;
    size_t mark = 0;
    CamsimRequestsSince(mark);
    // camsim runs with DvrTime 45 and IR on (see CMakeLists.txt).
    std::string path = "untouched";
    int32_t period = -1;
    ASSERT_TRUE(channel.GetOriginalSetting(Camsim(notes.hwnd), path, period));
    EXPECT_EQ(path, "c:\\QERN\\REC\\");
    EXPECT_EQ(period, 45);
    EXPECT_EQ(CamsimRequestsSince(mark), (Strings{"auth=yes GET /RdDVRctrl.cgi", "auth=yes GET /Rdimagectrl.cgi",
                                                  "auth=yes GET /Rdimagectrl.cgi"}));
    EXPECT_EQ(notes.seen, (Strings{"open", "closed"}));

    // Requests the camera could not take whole are refused, not cut; the batch says so.
    EXPECT_FALSE(channel.SaveOriginalSetting(Camsim(nullptr), std::string(237, 'p').c_str(), 5));
    EXPECT_EQ(CamsimRequestsSince(mark), (Strings{"auth=yes GET /DVRctrl.cgi?TimeD=5"}));
    // Credentials too long for the camera's fields open nothing; a wrong password reads nothing.
    EXPECT_EQ(channel.QueryIrState(Camsim(nullptr, std::string(32, 'x').c_str())), 0);
    EXPECT_FALSE(channel.GetOriginalSetting(Camsim(nullptr, "wrong"), path, period));
    EXPECT_EQ(channel.QueryIrState(Camsim(nullptr, "wrong")), 0);
}

// A worker's batches and this thread's never mix on the camera, and the worker's notifications
// reach this thread's window while this thread waits for the channel.
TEST(SettingsChannel, BatchesOfTwoThreadsNeverMix) {
    QERN_NEED_CAMSIM("settings-channel");
    Notes notes;
    size_t mark = 0;
    CamsimRequestsSince(mark);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        std::string path;
        int32_t period;
        for (int i = 0; i < 4; ++i) SettingsChannel::Instance().GetOriginalSetting(Camsim(notes.hwnd), path, period);
        done = true;
    });
    for (int i = 0; i < 4; ++i) EXPECT_EQ(SettingsChannel::Instance().QueryIrState(Camsim(nullptr)), 1);
    EXPECT_TRUE(qern::test::WaitFor([&] { return done.load(); }, 30000, [] { qern::test::PumpMessages(); }));
    worker.join();
    Strings order;  // connections in the order their requests came
    for (const std::string& line : CamsimRequestsSince(mark, true)) {
        const std::string conn = line.substr(0, line.find(' '));
        if (order.empty() || order.back() != conn) order.push_back(conn);
    }
    EXPECT_EQ(order.size(), 8u);
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()).size(), 8u) << "a connection came back after another";
    EXPECT_EQ(std::count(notes.seen.begin(), notes.seen.end(), "open"), 4);
}

// One receive per reply: what arrives later is not part of it.
TEST(SettingsChannel, OneReceivePerReply) {
    LoopbackServer server([&](SOCKET s, const std::string&, int) {
        LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\nContent-Length: 30\r\n\r\nCont 9.\r\nResl2.\r\n");
        server.Pause(300);
        LoopbackServer::Send(s, "Brne 5.\r\nIR_set:1\r\n");
    });
    SettingsChannel& channel = SettingsChannel::Instance();
    ASSERT_TRUE(channel.Open("127.0.0.1", server.Port(), "admin", "pw", nullptr));
    int32_t before[SettingsChannel::kImageKeyCount], after[SettingsChannel::kImageKeyCount];
    channel.CachedImageSettings(before);
    ASSERT_EQ(channel.ReadImageSettings(), 1);
    channel.Close();
    channel.CachedImageSettings(after);
    EXPECT_EQ(after[8], 9);          // Cont
    EXPECT_EQ(after[0], before[0]);  // Resl without its space
    EXPECT_EQ(after[7], before[7]);  // Brne came in a later segment
    EXPECT_EQ(channel.QueryIrState(CameraEndpoint{"127.0.0.1", server.Port(), "a", "b", nullptr}), 0);
}

// A camera that never answers the connect, or takes the connection and stays silent: the failure
// notifications come within the time-outs and nothing hangs. Every set still ends with one
// applied notification, also on a channel that could not open (no name lookup either).
TEST(SettingsChannel, CamerasThatDoNotAnswer) {
    LoopbackServer silent([&](SOCKET, const std::string&, int) { silent.Pause(20000); });
    // A listener whose queue is full: the connect is never answered.
    SOCKET full = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(full, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(full, 0);
    int len = sizeof addr;
    getsockname(full, reinterpret_cast<sockaddr*>(&addr), &len);
    SocketClient fillers[2];
    for (SocketClient& f : fillers) f.SetTimeouts(500, 500), f.Connect("127.0.0.1", ntohs(addr.sin_port));

    struct Case {
        const char* host;
        int port;
        Strings notes;
    } cases[] = {
        {"127.0.0.1", ntohs(addr.sin_port), {"failed", "closed"}},  // never answers the connect
        {"127.0.0.1", silent.Port(), {"open", "read-failed", "closed"}},
        {"localhost", 80, {"failed", "applied Cont", "applied PathD", "read-failed", "closed"}},
    };
    const auto limit =
        std::chrono::milliseconds(SocketClient::kConnectTimeoutMs + SocketClient::kReceiveTimeoutMs + 4000);
    SettingsChannel& channel = SettingsChannel::Instance();
    for (const Case& c : cases) {
        Notes notes;
        std::string path = "kept";
        int32_t period = 7;
        const auto start = std::chrono::steady_clock::now();
        if (c.port == 80) {
            ASSERT_FALSE(channel.Open(c.host, c.port, "a", "b", notes.hwnd));
            EXPECT_FALSE(channel.SetContrast(3));
            EXPECT_FALSE(channel.SetRecordPath("c:\\x\\"));
            EXPECT_EQ(channel.GetImageSetting("Cont"), 0);
            channel.Close();
        } else {
            EXPECT_FALSE(
                channel.GetOriginalSetting(CameraEndpoint{c.host, c.port, "admin", "admin", notes.hwnd}, path, period));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, limit) << c.port;
        EXPECT_EQ(path, "kept") << c.port;
        EXPECT_EQ(period, 7) << c.port;
        EXPECT_EQ(notes.seen, c.notes) << c.port;
    }
    silent.release = true;
    closesocket(full);
}

}  // namespace

}  // namespace qern
