// A snapshot through the frame export, from a program that runs the live view in its own process.
// (The export takes addresses, so it serves programs, not scripts.)
//   snapshot.exe VIDEO_URL OUT.bmp [USER [PASSWORD]]
// Register QERNCamControl.dll first. QERNCamControl_h.h is the interface header made from
// module/QERNCamControl.idl by midl or widl; the build tree has one.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <vector>

#include "QERNCamControl_h.h"

using Microsoft::WRL::ComPtr;

namespace {

// The frames of a 640 x 480 camera, 4 bytes a pixel, rows bottom-up; for another size change these.
const int kWidth = 640, kHeight = 480;
std::vector<unsigned char> g_frame(size_t(kWidth) * kHeight * 4);  // gettmp: the control copies each frame here
std::vector<unsigned char> g_snapshot;
HANDLE g_taken = nullptr;

// SetImageProcessCallback: called on the live view's video thread for every decoded frame, with the
// frame in g_frame. Whatever it leaves there is what the view paints.
void OnFrame() {
    if (!g_snapshot.empty()) return;
    g_snapshot = g_frame;
    SetEvent(g_taken);
}

struct Bstr {
    explicit Bstr(const char* text) {
        std::vector<wchar_t> w(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) + 1);
        MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), int(w.size()));
        b = SysAllocString(w.data());
    }
    ~Bstr() { SysFreeString(b); }
    BSTR b;
};

bool SaveBmp(const char* path, const std::vector<unsigned char>& pixels) {
    BITMAPINFOHEADER info = {sizeof info, kWidth, kHeight, 1, 32, BI_RGB, DWORD(pixels.size()), 3780, 3780, 0, 0};
    BITMAPFILEHEADER file = {0x4D42, DWORD(sizeof file + sizeof info + pixels.size()), 0, 0,
                             DWORD(sizeof file + sizeof info)};
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info, sizeof info, 1, f) == 1 &&
              std::fwrite(pixels.data(), pixels.size(), 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: snapshot VIDEO_URL OUT.bmp [USER [PASSWORD]]\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    g_taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool saved = false;
    {
        ComPtr<ICamImage> cam;
        if (SUCCEEDED(CoCreateInstance(CLSID_CamImage, nullptr, CLSCTX_INPROC_SERVER, IID_ICamImage, &cam))) {
            // The buffer first, then the function; both are addresses in this process.
            cam->gettmp(LONG(reinterpret_cast<UINT_PTR>(g_frame.data())));
            cam->SetImageProcessCallback(LONG(reinterpret_cast<UINT_PTR>(&OnFrame)));
            cam->put_User(Bstr(argc > 3 ? argv[3] : "admin").b);
            cam->put_Password(Bstr(argc > 4 ? argv[4] : "admin").b);
            cam->put_URL(Bstr(argv[1]).b);  // connects
            // Wait up to 15 s for a frame, keeping this thread's messages moving.
            for (DWORD start = GetTickCount(); GetTickCount() - start < 15000;)
                if (MsgWaitForMultipleObjects(1, &g_taken, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
            cam->SetImageProcessCallback(0);  // no more calls from the next frame on
            // Only a frame whose copy was finished (the event is set after it) is read.
            saved = WaitForSingleObject(g_taken, 0) == WAIT_OBJECT_0 && SaveBmp(argv[2], g_snapshot);
        }
    }
    CloseHandle(g_taken);
    CoUninitialize();
    std::printf(saved ? "snapshot: %s\n" : "no snapshot\n", argv[2]);
    return saved ? 0 : 1;
}
