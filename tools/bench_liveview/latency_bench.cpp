// latency_bench: how long a frame takes from the camera's last byte to the screen. A camera in
// this process (a loopback socket server) sends pre-encoded 640x480 frames at 25 fps and notes
// when each frame's last byte left; a live view pipeline (worker, decoder, painter and a window)
// reads the stream. For each frame it records when the decoded picture was in its buffer and
// when its paint returned, and prints the median and 99th percentile of
//   buffered + decoded (last byte sent -> frame decoded), painting, and the whole,
// against one frame period (40 ms).
//   latency_bench FOLDER_OF_JPEGS [FRAMES=1000]
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tools/bench_liveview/CameraViewHost.h"

namespace {

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(freq.QuadPart);
}

// The .jpg files of a folder, in name order.
std::vector<std::vector<unsigned char>> LoadFrames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*.jpg").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do names.push_back(fd.cFileName);
        while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::vector<unsigned char>> frames;
    for (const std::string& name : names) {
        FILE* f = std::fopen((folder + "\\" + name).c_str(), "rb");
        if (!f) continue;
        std::vector<unsigned char> data;
        unsigned char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
        std::fclose(f);
        frames.push_back(std::move(data));
    }
    return frames;
}

constexpr int kFps = 25;

struct Camera {
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    int frames = 0;
    std::vector<std::vector<unsigned char>> jpegs;
    std::vector<double> sent;  // ms, when frame n's last byte was sent
    std::thread thread;

    bool Listen() {
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 1) != 0) return false;
        int len = sizeof a;
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        return true;
    }
    void Serve() {
        SOCKET s = accept(listener, nullptr, nullptr);
        std::string request;
        char buf[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            int n = recv(s, buf, sizeof buf, 0);
            if (n <= 0) return;
            request.append(buf, size_t(n));
        }
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=f\r\n\r\n";
        send(s, head.data(), int(head.size()), 0);
        const double start = Now();
        for (int n = 0; n < frames; ++n) {
            const std::vector<unsigned char>& j = jpegs[size_t(n) % jpegs.size()];
            char part[200];
            // Stamp: seconds since 1970 and microseconds tell the frame's number.
            const int len = std::snprintf(part, sizeof part,
                                          "--f\r\nContent-Type: image/jpeg\r\nContent-Length: %zu\r\n"
                                          "Content-Auth: %02X%08X%05X\r\n\r\n",
                                          j.size(), n & 0xFF, unsigned(n / kFps), unsigned(n % kFps) * 40000u);
            std::string bytes(part, size_t(len));
            bytes.append(reinterpret_cast<const char*>(j.data()), j.size());
            bytes += "\r\n";
            if (send(s, bytes.data(), int(bytes.size()), 0) != int(bytes.size())) break;
            sent[size_t(n)] = Now();
            const double next = start + (n + 1) * 1000.0 / kFps;
            const double wait = next - Now();
            if (wait > 0) Sleep(DWORD(wait));
        }
        const std::string end = "--f\r\n";
        send(s, end.data(), int(end.size()), 0);
        shutdown(s, SD_BOTH);
        closesocket(s);
    }
};

class TimedView : public qern::bench::CameraViewHost {
public:
    TimedView(int port, int frames)
        : CameraViewHost(640, 480, port), decoded(size_t(frames), 0), painted(size_t(frames), 0) {}
    int FrameNumber() const {
        const qern::CameraTime& t = session.cameraTime;
        const long seconds = long(t.hours % 24) * 3600 % 3600 + t.minutes * 60 + t.seconds;  // hour-proof below an hour
        return int(seconds * kFps + session.cameraMicros / 40000);
    }
    void ProcessImage(uint8_t*, size_t) override {
        const int n = FrameNumber();
        if (n >= 0 && size_t(n) < decoded.size()) decoded[size_t(n)] = Now();
    }
    void ShowFrame() override {
        CameraViewHost::ShowFrame();
        const int n = FrameNumber();
        if (n >= 0 && size_t(n) < painted.size()) painted[size_t(n)] = Now();
    }
    std::vector<double> decoded, painted;
};

void Report(const char* name, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    const double median = v[v.size() / 2];
    const double p99 = v[std::min(v.size() - 1, size_t(std::ceil(v.size() * 0.99)) - 1)];
    std::printf("%-34s median %7.2f ms  p99 %7.2f ms  (%.2f / %.2f frame periods)\n", name, median, p99,
                median / (1000.0 / kFps), p99 / (1000.0 / kFps));
}

}  // namespace

int main(int argc, char** argv) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    Camera camera;
    if (argc < 2) {
        std::fprintf(stderr, "usage: latency_bench FOLDER_OF_JPEGS [FRAMES]\n");
        return 2;
    }
    camera.jpegs = LoadFrames(argv[1]);
    if (camera.jpegs.empty()) {
        std::fprintf(stderr, "no .jpg files in %s\n", argv[1]);
        return 2;
    }
    camera.frames = argc > 2 ? std::max(50, std::atoi(argv[2])) : 1000;
    camera.sent.assign(size_t(camera.frames), 0);
    size_t bytes = 0;
    for (auto& j : camera.jpegs) bytes += j.size();
    if (!camera.Listen()) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    std::printf("frames of %zu bytes on average, %d frames at %d fps\n", bytes / camera.jpegs.size(), camera.frames,
                kFps);
    camera.thread = std::thread([&] { camera.Serve(); });
    TimedView view(camera.port, camera.frames);
    view.Start();
    const DWORD limit = GetTickCount() + DWORD(camera.frames) * 1000 / kFps + 10000;
    while (view.WorkerRunning() && GetTickCount() < limit) qern::test::PumpMessages(20);
    view.Stop();
    camera.thread.join();
    closesocket(camera.listener);

    std::vector<double> toDecoded, painting, whole;
    int shown = 0;
    for (int n = 25; n < camera.frames; ++n) {  // the first second fills the pipeline
        const double s = camera.sent[size_t(n)], d = view.decoded[size_t(n)], p = view.painted[size_t(n)];
        if (s <= 0 || d <= 0 || p <= 0) continue;
        ++shown;
        toDecoded.push_back(d - s);
        painting.push_back(p - d);
        whole.push_back(p - s);
    }
    std::printf("frames painted and matched: %d of %d\n", shown, camera.frames - 25);
    Report("last byte sent -> decoded:", toDecoded);
    Report("painting (and PaintOK wait):", painting);
    Report("last byte sent -> painted:", whole);
    WSACleanup();
    return 0;
}
