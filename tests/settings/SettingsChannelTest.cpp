// The settings channel against its own camera simulator (started with non-default settings) and
// against scripted peers that answer in pieces, stay silent or never take the connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "NotifyRecorder.h"
#include "settings/SettingsChannel.h"
#include "tests/support/Camsim.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"
#include "tests/transport/LoopbackServer.h"

namespace {

using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

CameraEndpoint Camsim(HWND notify, const char* password = "admin") {
    return CameraEndpoint{"127.0.0.1", qern::test::CamsimPort(), "admin", password, notify};
}

// The request log's lines from `from` on, each "conn=N auth=... GET TARGET" without the conn part.
Strings LoggedSince(size_t from, std::string* connection = nullptr) {
    std::istringstream log(qern::test::CamsimRequestLog());
    Strings lines;
    std::string line;
    for (size_t i = 0; std::getline(log, line); ++i) {
        if (i < from) continue;
        const size_t space = line.find(' ');
        if (connection && lines.empty()) *connection = line.substr(0, space);
        if (connection && line.substr(0, space) != *connection) line = "other connection: " + line;
        lines.push_back(line.substr(space + 1));
    }
    return lines;
}

size_t LogLines() { return LoggedSince(0).size(); }

TEST(SettingsChannel, BatchesAgainstTheCamera) {
    QERN_NEED_CAMSIM("settings-channel");
    SettingsChannel& channel = SettingsChannel::Instance();
    NotifyRecorder notes;
    size_t mark = LogLines();
    // camsim runs with Brne 2, Nhue 70, DvrTime 45 and IR on (see CMakeLists.txt).
    std::string path = "untouched";
    int32_t period = -1;
    ASSERT_TRUE(channel.GetOriginalSetting(Camsim(notes.Window()), path, period));
    EXPECT_EQ(path, "c:\\QERN\\REC\\");
    EXPECT_EQ(period, 45);
    std::string conn;
    EXPECT_EQ(LoggedSince(mark, &conn),
              (Strings{"auth=yes GET /RdDVRctrl.cgi", "auth=yes GET /Rdimagectrl.cgi", "auth=yes GET /Rdimagectrl.cgi"}));
    EXPECT_EQ(notes.seen, (Strings{"open", "closed"}));

    notes.seen.clear();
    mark = LogLines();
    ASSERT_TRUE(channel.Open("127.0.0.1", qern::test::CamsimPort(), "admin", "admin", notes.Window()));
    channel.SetHue(33);
    channel.SetBrightness(6);
    ASSERT_EQ(channel.ReadImageSettings(), 1);
    EXPECT_EQ(channel.GetImageSetting("Nhum"), 33);  // set as Nhue, read back as Nhum
    EXPECT_EQ(channel.GetImageSetting("Nhue"), 0);   // never read under the setter's name
    EXPECT_EQ(channel.GetImageSetting("Brne"), 6);
    EXPECT_EQ(channel.GetImageSetting("Cont"), 6);   // "Content-Length" in the headers is skipped
    channel.Close();
    EXPECT_EQ(LoggedSince(mark, &conn),
              (Strings{"auth=yes GET /imagectrl.cgi?Nhue=33", "auth=yes GET /imagectrl.cgi?Brne=6",
                       "auth=yes GET /Rdimagectrl.cgi", "auth=yes GET /Rdimagectrl.cgi", "auth=yes GET /Rdimagectrl.cgi",
                       "auth=yes GET /Rdimagectrl.cgi", "auth=yes GET /Rdimagectrl.cgi"}));
    EXPECT_EQ(notes.seen, (Strings{"open", "applied Nhue", "applied Brne", "closed"}));

    ASSERT_TRUE(channel.SaveOriginalSetting(Camsim(nullptr), "d:\\clips\\", 12));
    ASSERT_TRUE(channel.GetOriginalSetting(Camsim(nullptr), path, period));
    EXPECT_EQ(path, "d:\\clips\\");
    EXPECT_EQ(period, 12);
    EXPECT_EQ(channel.QueryIrState(Camsim(nullptr)), 1);

    // Requests the camera could not take whole are refused, not cut; the batch says so.
    mark = LogLines();
    EXPECT_FALSE(channel.SaveOriginalSetting(Camsim(nullptr), std::string(237, 'p').c_str(), 5));
    EXPECT_EQ(LoggedSince(mark), (Strings{"auth=yes GET /DVRctrl.cgi?TimeD=5"}));
    // Credentials too long for the camera's fields open nothing; a wrong password reads nothing.
    EXPECT_EQ(channel.QueryIrState(Camsim(nullptr, std::string(32, 'x').c_str())), 0);
    notes.seen.clear();
    EXPECT_FALSE(channel.GetOriginalSetting(Camsim(notes.Window(), "wrong"), path, period));
    EXPECT_EQ(channel.QueryIrState(Camsim(nullptr, "wrong")), 0);
}

// A worker's batches and this thread's never mix on the camera, and the worker's notifications
// reach this thread's window while this thread waits for the channel.
TEST(SettingsChannel, BatchesOfTwoThreadsNeverMix) {
    QERN_NEED_CAMSIM("settings-channel");
    NotifyRecorder notes;
    const size_t mark = LogLines();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 4; ++i) {
            std::string path;
            int32_t period;
            SettingsChannel::Instance().GetOriginalSetting(Camsim(notes.Window()), path, period);
        }
        done = true;
    });
    for (int i = 0; i < 4; ++i) EXPECT_EQ(SettingsChannel::Instance().QueryIrState(Camsim(nullptr)), 1);
    EXPECT_TRUE(qern::test::WaitFor([&] { return done.load(); }, 30000, [] { qern::test::PumpMessages(); }));
    worker.join();
    std::istringstream log(qern::test::CamsimRequestLog());
    std::vector<std::string> order;  // connections in the order their requests came
    std::string line;
    for (size_t i = 0; std::getline(log, line); ++i) {
        const std::string conn = line.substr(0, line.find(' '));
        if (i >= mark && (order.empty() || order.back() != conn)) order.push_back(conn);
    }
    std::vector<std::string> unique = order;
    std::sort(unique.begin(), unique.end());
    EXPECT_EQ(std::unique(unique.begin(), unique.end()) - unique.begin(), 8) << "a connection came back after another";
    EXPECT_EQ(order.size(), 8u);
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
    int32_t before[SettingsChannel::kImageKeyCount];
    channel.CachedImageSettings(before);
    ASSERT_EQ(channel.ReadImageSettings(), 1);
    channel.Close();
    int32_t after[SettingsChannel::kImageKeyCount];
    channel.CachedImageSettings(after);
    EXPECT_EQ(after[8], 9);            // Cont
    EXPECT_EQ(after[0], before[0]);    // Resl without its space
    EXPECT_EQ(after[7], before[7]);    // Brne came in a later segment
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(server.Requests()[0], "GET /Rdimagectrl.cgi HTTP/1.1\r\nAuthorization: Basic YWRtaW46cHc=\r\n\r\n");
    EXPECT_EQ(channel.QueryIrState(CameraEndpoint{"127.0.0.1", server.Port(), "a", "b", nullptr}), 0);
}

// A camera that is down, refuses, or takes the connection and stays silent: the failure
// notifications come within the time-outs and nothing hangs.
TEST(SettingsChannel, CamerasThatDoNotAnswer) {
    LoopbackServer silent([&](SOCKET, const std::string&, int) { silent.Pause(20000); });
    int refusing;
    { LoopbackServer probe([](SOCKET, const std::string&, int) {}); refusing = probe.Port(); }
    // A listener whose queue is full: the connect is never answered.
    SOCKET full = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(full, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(full, 0);
    int len = sizeof addr;
    getsockname(full, reinterpret_cast<sockaddr*>(&addr), &len);
    SocketClient filler1, filler2;
    filler1.SetTimeouts(500, 500);
    filler2.SetTimeouts(500, 500);
    filler1.Connect("127.0.0.1", ntohs(addr.sin_port));
    filler2.Connect("127.0.0.1", ntohs(addr.sin_port));

    struct Case {
        const char* name;
        int port;
        Strings notes;
    } cases[] = {
        {"refused", refusing, {"failed", "closed"}},
        {"never answers the connect", ntohs(addr.sin_port), {"failed", "closed"}},
        {"silent", silent.Port(), {"open", "read-failed", "closed"}},
    };
    const auto limit = std::chrono::milliseconds(SocketClient::kConnectTimeoutMs + SocketClient::kReceiveTimeoutMs + 4000);
    for (const Case& c : cases) {
        NotifyRecorder notes;
        std::string path = "kept";
        int32_t period = 7;
        const auto start = Clock::now();
        EXPECT_FALSE(SettingsChannel::Instance().GetOriginalSetting(
            CameraEndpoint{"127.0.0.1", c.port, "admin", "admin", notes.Window()}, path, period)) << c.name;
        EXPECT_LT(Clock::now() - start, limit) << c.name;
        EXPECT_EQ(path, "kept") << c.name;
        EXPECT_EQ(period, 7) << c.name;
        EXPECT_EQ(notes.seen, c.notes) << c.name;
    }
    silent.release = true;
    closesocket(full);
}

// Every set ends with one applied notification, also on a closed channel.
TEST(SettingsChannel, SetsOnAClosedChannelStillNotify) {
    SettingsChannel& channel = SettingsChannel::Instance();
    NotifyRecorder notes;
    ASSERT_FALSE(channel.Open("localhost", 80, "a", "b", notes.Window()));  // no name lookup
    EXPECT_FALSE(channel.SetContrast(3));
    EXPECT_FALSE(channel.SetRecordPath("c:\\x\\"));
    EXPECT_EQ(channel.GetImageSetting("Cont"), 0);
    channel.Close();
    EXPECT_EQ(notes.seen, (Strings{"failed", "applied Cont", "applied PathD", "read-failed", "closed"}));
}

}  // namespace
