// record_bench: what recording costs the live view. One view in place, streaming 640x480 at 25
// frames a second from the camera simulator on 127.0.0.1:PORT; periods without and with a
// recording alternate (ABAB). For each kind it prints the frames parsed and painted per second,
// the frames the camera sent that the view did not parse, and the CPU time per painted frame;
// then the stream thread's time in the recording's writes: average and longest.
//   record_bench PORT FOLDER [SECONDS=8]
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "recording/StreamRecorder.h"
#include "tests/support/InPlaceContainer.h"
#include "tests/support/Screen.h"

namespace {

double ProcessCpu() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto s = [](const FILETIME& f) { return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7; };
    return s(kernel) + s(user);
}

struct Totals {
    double wall = 0, cpu = 0;
    uint32_t parsed = 0, painted = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: record_bench PORT FOLDER [SECONDS]\n");
        return 2;
    }
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(std::atoi(argv[1])) + L"/video.cgi";
    const std::string folder = argv[2];
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 8;
    OleInitialize(nullptr);
    {
        qern::test::InPlaceContainer container({0, 0, 640, 480}, L"", 640, 480);
        qern::ComPtr<IOleObject> ole;
        qern::ComPtr<ICamImage> cam;
        if (FAILED(qern::ComObject<qern::CCamImage>::Create(nullptr, IID_IOleObject, ole.put_void())) ||
            FAILED(ole.query(IID_ICamImage, cam)) || FAILED(container.Activate(ole.get()))) {
            std::fprintf(stderr, "cannot place the live view %s\n", container.error.c_str());
            return 1;
        }
        qern::CCamImage* view = static_cast<qern::CCamImage*>(cam.get());
        cam->put_User(qern::BStr(L"admin").get());
        cam->put_Password(qern::BStr(L"admin").get());
        cam->put_URL(qern::BStr(url.c_str()).get());
        qern::test::PumpMessages(5000);  // connect, pass the audio wait, settle

        Totals kinds[2];
        double writesMs = 0, longestMs = 0;
        uint32_t writes = 0;
        for (int round = 0; round < 4; ++round) {
            const int recording = round % 2;
            if (recording && !view->StartRecord(view->MakeRecordPath(folder.c_str()).c_str(), nullptr)) {
                std::fprintf(stderr, "the recording did not start in %s\n", folder.c_str());
                return 1;
            }
            const qern::LiveViewStats& st = view->Stats();
            const uint32_t parsed0 = st.framesParsed, painted0 = st.framesPainted;
            const double cpu0 = ProcessCpu();
            const DWORD t0 = GetTickCount();
            qern::test::PumpMessages(seconds * 1000);
            Totals& t = kinds[recording];
            t.wall += (GetTickCount() - t0) / 1000.0;
            t.cpu += ProcessCpu() - cpu0;
            t.parsed += st.framesParsed - parsed0;
            t.painted += st.framesPainted - painted0;
            if (recording) {
                view->StopRecord();
                const qern::AviWriter::WriteTimes w = view->Recorder().WriteTimes();
                writes += w.writes;
                writesMs += w.totalMs;
                longestMs = w.longestMs > longestMs ? w.longestMs : longestMs;
            }
        }
        for (int k = 0; k < 2; ++k) {
            const Totals& t = kinds[k];
            std::printf("%-17s %5.1f parsed/s, %5.1f painted/s, %4.0f not parsed of %.0f sent, %.2f ms CPU per frame\n",
                        k ? "with recording:" : "without:", t.parsed / t.wall, t.painted / t.wall,
                        25.0 * t.wall - t.parsed, 25.0 * t.wall, t.painted ? 1000.0 * t.cpu / t.painted : 0.0);
        }
        const double before = kinds[0].painted ? kinds[0].cpu / kinds[0].painted : 0;
        const double after = kinds[1].painted ? kinds[1].cpu / kinds[1].painted : 0;
        std::printf("CPU per frame with recording: %+.1f%%\n", before > 0 ? 100.0 * (after - before) / before : 0.0);
        std::printf("writes: %u, %.3f ms on average, longest %.3f ms\n", writes, writes ? writesMs / writes : 0.0,
                    longestMs);
        container.Shutdown();
    }
    OleUninitialize();
    return 0;
}
