// camhost: a minimal ActiveX control container that hosts the camera controls as a page would.
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "module/QERNCamControl_h.h"
#include "tools/camhost/ControlSite.h"
#include "tools/camhost/FrameHook.h"
#include "tools/camhost/HostFrame.h"
#include "tools/camhost/HostOptions.h"
#include "tools/camhost/Layout.h"
#include "tools/camhost/UserInput.h"
#include "tools/camhost/PageBrowser.h"
#include "tools/camhost/RecordDemo.h"
#include "tools/camhost/ShotSchedule.h"
#include "tools/camhost/WindowCapture.h"

using namespace camhost;

namespace {

const UINT kTickMs = 50;

std::wstring Wide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& w) { return qern::WideToAnsi(w.c_str(), static_cast<int>(w.size())); }

// Lines go to stdout and, when asked, to a file.
class Report {
public:
    explicit Report(const std::string& file) : m_file(file.empty() ? nullptr : std::fopen(file.c_str(), "wb")) {}
    ~Report() {
        if (m_file) std::fclose(m_file);
    }
    bool FileFailed(const std::string& file) const { return !file.empty() && !m_file; }
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char text[1024];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        std::fputs(text, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        if (m_file) {
            std::fputs(text, m_file);
            std::fputc('\n', m_file);
            std::fflush(m_file);
        }
    }

private:
    FILE* m_file;
};

struct Hosted {
    ControlSpec spec;
    ControlKind kind;
    ControlSite* site = nullptr;  // holds a reference
    qern::ComPtr<ICamImage> view;
    std::vector<LONG> fpsSamples;  // one a second
};

// The middle of the per-second samples since the picture started: what the view showed most of the time.
LONG MedianFps(const std::vector<LONG>& all) {
    auto first = std::find_if(all.begin(), all.end(), [](LONG fps) { return fps > 0; });
    std::vector<LONG> samples(first, all.end());
    if (samples.empty()) return all.empty() ? -1 : 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

void SampleFrameRates(std::vector<Hosted>& hosted) {
    for (Hosted& h : hosted) {
        if (!h.view) continue;
        LONG fps = 0;
        if (SUCCEEDED(h.view->setaction(6, &fps))) h.fpsSamples.push_back(fps);
    }
}

void SaveShots(Report& report, HWND window, const std::vector<std::string>& files, double elapsed, int& failures) {
    for (const std::string& file : files) {
        Picture picture;
        if (CaptureClientArea(window, picture) && WriteBmp(file, picture)) {
            report.Line("screenshot: %s %dx%d at %.1f s", file.c_str(), picture.width, picture.height, elapsed);
        } else {
            report.Line("screenshot: %s failed", file.c_str());
            ++failures;
        }
    }
}

// A control that asked for more room than its cell (the panel's dialog in a wider font) gets it:
// the page grows so that every control is seen whole.
// The recording strip's window, for the demo's recording.
HWND StripWindow(const std::vector<Hosted>& hosted) {
    for (const Hosted& h : hosted)
        if (h.kind == ControlKind::RecordStrip && h.site) return h.site->ControlWindow();
    return nullptr;
}

void ReportRecording(Report& report, const RecordDemo& demo) {
    if (!demo.Pressed()) return;
    report.Line("recording: REC pressed, dialog %s, STOP %s", demo.Answered() ? "answered" : "not seen",
                demo.Stopped() ? "pressed" : "not pressed");
}

void GrowFrameToFit(HostFrame& frame, const std::vector<Hosted>& hosted) {
    // A control asks for its room once it has settled in: let it ask first.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    RECT client;
    GetClientRect(frame.Window(), &client);
    LONG right = client.right, bottom = client.bottom;
    for (const Hosted& h : hosted) {
        HWND hwnd = h.site ? h.site->ControlWindow() : nullptr;
        if (!hwnd) continue;
        RECT r;
        GetWindowRect(hwnd, &r);
        MapWindowPoints(nullptr, frame.Window(), reinterpret_cast<POINT*>(&r), 2);
        right = std::max<LONG>(right, r.right + kMargin);
        bottom = std::max<LONG>(bottom, r.bottom + kMargin);
    }
    if (right == client.right && bottom == client.bottom) return;
    RECT outer;
    GetWindowRect(frame.Window(), &outer);
    SetWindowPos(frame.Window(), nullptr, 0, 0, outer.right - outer.left + right - client.right,
                 outer.bottom - outer.top + bottom - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Run(const HostOptions& options, Report& report) {
    std::vector<ControlSpec> specs = options.controls;
    if (!ExpandGrid(specs, options.grid)) {
        report.Line("error: --grid needs a live view control (QERN.CamImage)");
        return 2;
    }
    const PageLayout page = LayOut(specs, options.cellWidth, options.cellHeight);

    HostFrame frame;
    if (!frame.Create(Wide(options.title), page.clientWidth, page.clientHeight)) {
        report.Line("error: the host window could not be created (%lu)", GetLastError());
        return 1;
    }
    report.Line("window: %dx%d", page.clientWidth, page.clientHeight);

    PageBrowser* browser = options.pageUrl.empty() ? nullptr : new PageBrowser(Wide(options.pageUrl));
    std::vector<Hosted> hosted;
    int status = 0;
    for (size_t i = 0; i < specs.size() && status == 0; ++i) {
        Hosted h;
        h.spec = specs[i];
        h.kind = KindOfProgId(specs[i].progId);
        h.site = new ControlSite(frame, browser, page.rects[i]);
        std::vector<std::pair<std::wstring, std::wstring>> params;
        for (const auto& p : specs[i].params) params.emplace_back(Wide(p.first), Wide(p.second));
        std::string error;
        HRESULT hr = h.site->Create(Wide(specs[i].progId), params, error);
        if (SUCCEEDED(hr)) hr = h.site->Activate(error);
        if (FAILED(hr)) {
            report.Line("control %d: %s: %s", static_cast<int>(i + 1), specs[i].progId.c_str(), error.c_str());
            status = 1;
        }
        if (h.site->Object()) {
            qern::ComPtr<IOleObject> object(h.site->Object());
            object.query(IID_ICamImage, h.view);
        }
        hosted.push_back(std::move(h));
    }

    GrowFrameToFit(frame, hosted);
    UserInput input;
    for (const Hosted& h : hosted)
        if (h.site) input.Add(h.site->ControlWindow(), h.spec.actions);

    size_t views = 0;
    for (const Hosted& h : hosted)
        if (h.view) ++views;
    const bool hook = status == 0 && views > 0 && (options.frameHook == 1 || (options.frameHook == -1 && views == 1));
    ICamImage* hookedView = nullptr;
    if (hook) {
        for (Hosted& h : hosted) {
            if (!h.view) continue;
            HRESULT hr = FrameHook::Instance().Install(h.view.get());
            if (SUCCEEDED(hr))
                hookedView = h.view.get();
            else
                report.Line("frame hook: refused (0x%08lX)", static_cast<unsigned long>(hr));
            break;
        }
    }

    for (size_t i = 0; i < hosted.size(); ++i) {
        const Hosted& h = hosted[i];
        HWND hwnd = h.site->ControlWindow();
        if (hwnd) {
            RECT r;
            GetWindowRect(hwnd, &r);
            MapWindowPoints(nullptr, frame.Window(), reinterpret_cast<POINT*>(&r), 2);
            report.Line("control %d: %s window %ldx%ld at %ld,%ld", static_cast<int>(i + 1), h.spec.progId.c_str(),
                        r.right - r.left, r.bottom - r.top, r.left, r.top);
        } else if (h.site->Object()) {
            report.Line("control %d: %s has no window", static_cast<int>(i + 1), h.spec.progId.c_str());
        }
        std::string reads;
        for (const auto& r : h.site->ParamReads()) reads += " " + Narrow(r.first) + (r.second ? "=given" : "=missing");
        if (!reads.empty()) report.Line("control %d: params read%s", static_cast<int>(i + 1), reads.c_str());
        if (h.view) {
            qern::BStr url;
            h.view->get_URL(url.put());
            report.Line("control %d: URL %s", static_cast<int>(i + 1), url.get() ? url.toAnsi().c_str() : "(none)");
        }
    }

    LARGE_INTEGER frequency, start = Now(), end = start;
    QueryPerformanceFrequency(&frequency);
    ShotSchedule shots(options.screenshots);
    int shotFailures = 0;
    double nextSample = 1.0;
    // Decoded frames counted once a second, for a rate without the start's backlog.
    std::vector<std::pair<double, long>> frameSamples;
    bool leaving = false;
    auto leave = [&] {
        if (leaving) return;
        leaving = true;
        PostQuitMessage(0);
    };
    frame.onClose = leave;
    RecordDemo recordDemo(options.recordAt, options.recordFor);
    frame.onTick = [&] {
        const double elapsed = Seconds(start, Now(), frequency);
        recordDemo.OnTick(elapsed, StripWindow(hosted));
        if (elapsed >= nextSample) {
            SampleFrameRates(hosted);
            frameSamples.emplace_back(elapsed, FrameHook::Instance().Frames());
            nextSample += 1.0;
        }
        if (!leaving) SaveShots(report, frame.Window(), shots.TakeDue(elapsed), elapsed, shotFailures);
        if (!leaving)
            for (const std::string& line : input.PlayDue(elapsed)) report.Line("%s at %.1f s", line.c_str(), elapsed);
        if (options.seconds > 0 && elapsed >= options.seconds) leave();
    };
    if (status == 0) {
        frame.StartTicks(kTickMs);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (frame.TranslateForActiveObject(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        end = Now();
        const double elapsed = Seconds(start, end, frequency);
        SaveShots(report, frame.Window(), shots.AtEnd(), elapsed, shotFailures);
    }
    const long frames = FrameHook::Instance().Frames();
    if (hookedView) FrameHook::Instance().Remove(hookedView);
    ReportRecording(report, recordDemo);

    // Take the controls down while the window still exists.
    frame.DropActiveObject();
    std::vector<LONG> viewChanges, propertyChanges;
    for (Hosted& h : hosted) {
        h.view = nullptr;
        h.site->Shutdown();
        viewChanges.push_back(h.site->viewChanges);
        propertyChanges.push_back(h.site->propertyChanges);
        h.site->Release();
        h.site = nullptr;
    }
    const int pageReads = browser ? browser->LocationReads() : 0;
    if (browser) browser->Release();
    if (status != 0) return status;

    const double elapsed = Seconds(start, end, frequency);
    report.Line("run seconds: %.1f", elapsed);
    for (size_t i = 0; i < hosted.size(); ++i) {
        if (hosted[i].kind == ControlKind::LiveView) {
            const std::vector<LONG>& f = hosted[i].fpsSamples;
            report.Line("control %d: frame rate shown %ld (median of %d samples, last %ld, highest %ld)",
                        static_cast<int>(i + 1), MedianFps(f), static_cast<int>(f.size()), f.empty() ? -1L : f.back(),
                        f.empty() ? -1L : *std::max_element(f.begin(), f.end()));
        }
        report.Line("control %d: view changes %ld, property changes %ld", static_cast<int>(i + 1), viewChanges[i],
                    propertyChanges[i]);
    }
    if (hookedView) {
        report.Line("frames decoded: %ld", frames);
        // Over the later half of the run, so the backlog decoded at the start is left out.
        size_t from = frameSamples.size() / 2;
        while (from < frameSamples.size() && frameSamples[from].second == 0) ++from;
        if (frames == 0) {
            report.Line("decode rate: 0.0 per second");
        } else if (from + 1 < frameSamples.size()) {
            double span = frameSamples.back().first - frameSamples[from].first;
            report.Line("decode rate: %.1f per second",
                        (frameSamples.back().second - frameSamples[from].second) / span);
        } else {
            report.Line("decode rate: n/a (too short a run)");
        }
    } else {
        report.Line("frames decoded: not counted (frame hook off)");
    }
    for (const Hosted& h : hosted) {
        if (h.kind == ControlKind::LiveView) {
            report.Line("frame rate shown: %ld", MedianFps(h.fpsSamples));
            break;
        }
    }
    if (!options.pageUrl.empty()) report.Line("page address reads: %d", pageReads);
    if (frame.OutstandingReferences() != 0)
        report.Line("warning: the controls still hold %ld references to the frame", frame.OutstandingReferences());
    return shotFailures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(args, options, error)) {
        std::fprintf(stderr, "camhost: %s\n\n%s", error.c_str(), HostUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(HostUsage(), stdout);
        return 0;
    }
    Report report(options.reportFile);
    if (report.FileFailed(options.reportFile)) {
        std::fprintf(stderr, "camhost: cannot write %s\n", options.reportFile.c_str());
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) {
        report.Line("error: OleInitialize failed");
        return 1;
    }
    int status = Run(options, report);
    OleUninitialize();
    return status;
}
