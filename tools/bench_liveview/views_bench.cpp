// views_bench: several live views in one process, each in place in a container window of its
// own and streaming from the camera simulator on 127.0.0.1:PORT. After a warm-up it counts, over
// a measured period, the frames each view painted and the process's CPU time, and prints the
// frame rate of each view, the lowest one, and the CPU time per painted frame.
//   views_bench PORT [VIEWS=9] [SECONDS=10]
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "tests/support/InPlaceContainer.h"
#include "tests/support/Screen.h"

namespace {

double Seconds(const FILETIME& f) {
    ULARGE_INTEGER v;
    v.LowPart = f.dwLowDateTime;
    v.HighPart = f.dwHighDateTime;
    return double(v.QuadPart) / 1e7;
}

double ProcessCpu() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

struct View {
    std::unique_ptr<qern::test::InPlaceContainer> container;
    qern::ComPtr<IOleObject> ole;
    qern::ComPtr<ICamImage> cam;
    qern::CCamImage* self = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: views_bench PORT [VIEWS] [SECONDS]\n");
        return 2;
    }
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(std::atoi(argv[1])) + L"/video.cgi";
    const int count = argc > 2 ? std::atoi(argv[2]) : 9;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
    OleInitialize(nullptr);
    std::vector<View> views(size_t(count > 0 ? count : 1));
    for (size_t i = 0; i < views.size(); ++i) {
        View& v = views[i];
        v.container.reset(new qern::test::InPlaceContainer({0, 0, 320, 240}, L"", 320, 240));
        SetWindowPos(v.container->Window(), nullptr, int(i % 3) * 340, int(i / 3) * 280, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
        if (FAILED(qern::ComObject<qern::CCamImage>::Create(nullptr, IID_IOleObject, v.ole.put_void())) ||
            FAILED(v.ole.query(IID_ICamImage, v.cam))) {
            std::fprintf(stderr, "cannot create view %zu\n", i);
            return 1;
        }
        v.self = static_cast<qern::CCamImage*>(v.cam.get());
        if (FAILED(v.container->Activate(v.ole.get()))) {
            std::fprintf(stderr, "view %zu: %s\n", i, v.container->error.c_str());
            return 1;
        }
        v.cam->put_User(qern::BStr(L"admin").get());
        v.cam->put_Password(qern::BStr(L"admin").get());
        v.cam->put_URL(qern::BStr(url.c_str()).get());
    }
    qern::test::PumpMessages(5000);  // connect, skip the audio wait, fill the pipelines

    std::vector<uint32_t> start(views.size());
    for (size_t i = 0; i < views.size(); ++i) start[i] = views[i].self->Stats().framesPainted;
    const double cpu0 = ProcessCpu();
    const DWORD t0 = GetTickCount();
    qern::test::PumpMessages(seconds * 1000);
    const double wall = (GetTickCount() - t0) / 1000.0;
    const double cpu = ProcessCpu() - cpu0;

    double lowest = 1e9;
    uint32_t total = 0;
    for (size_t i = 0; i < views.size(); ++i) {
        const uint32_t painted = views[i].self->Stats().framesPainted - start[i];
        total += painted;
        const double fps = painted / wall;
        lowest = fps < lowest ? fps : lowest;
        LONG shown = 0;
        views[i].cam->setaction(6, &shown);
        std::printf("view %zu: %5.1f frames/s painted, overlay FPS %ld, dropped %u, terminated workers %ld\n", i, fps,
                    long(shown), views[i].self->Stats().framesDropped.load(),
                    long(qern::CCamImage::TerminatedWorkers()));
    }
    std::printf(
        "%zu views: lowest %.1f frames/s, %u frames in %.1f s, CPU %.2f s (%.0f%% of one core), "
        "%.2f ms CPU per painted frame\n",
        views.size(), lowest, total, wall, cpu, 100.0 * cpu / wall, total ? 1000.0 * cpu / total : 0.0);
    for (View& v : views) {
        v.container.reset();
        v.cam = nullptr;
        v.ole = nullptr;
    }
    OleUninitialize();
    return 0;
}
