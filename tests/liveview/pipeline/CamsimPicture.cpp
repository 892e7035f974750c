#include "tests/liveview/pipeline/CamsimPicture.h"

#include <cstdio>
#include <cstdlib>

namespace liveview::test {

int CamsimPort() {
    const char* port = std::getenv("QERN_CAMSIM_PORT");
    return port ? std::atoi(port) : 0;
}

namespace {
bool Close(const Rgb& c, int r, int g, int b) { return Near(c, r, g, b, 40); }
}  // namespace

std::string CheckCamsimPicture(const Capture& c, bool upsideDown, bool mirror) {
    const int w = c.width(), h = c.height();
    std::string failures;
    auto at = [&](double fx, double fy) {
        int x = int(fx * w), y = int(fy * h);
        if (mirror) x = w - 1 - x;
        if (upsideDown) y = h - 1 - y;
        return c.At(x, y);
    };
    struct Bar {
        double x;
        int r, g, b;
        const char* name;
    } bars[] = {{0.125, 255, 0, 0, "red"}, {0.375, 0, 255, 0, "green"}, {0.625, 0, 0, 255, "blue"},
                {0.875, 128, 128, 128, "grey"}};
    for (const Bar& bar : bars)
        for (double fy : {0.35, 0.6, 0.9}) {
            Rgb got = at(bar.x, fy);
            if (!Close(got, bar.r, bar.g, bar.b)) {
                char line[160];
                std::snprintf(line, sizeof line, "%s bar at (%.3f, %.2f) is %d,%d,%d; ", bar.name, bar.x, fy, got.r,
                              got.g, got.b);
                failures += line;
            }
        }
    // The upper quarter is white but for the frame number and the moving square.
    int white = 0, samples = 0;
    for (double fx = 0.02; fx < 0.98; fx += 0.02) {
        ++samples;
        white += Close(at(fx, 0.2), 255, 255, 255);
    }
    if (white * 10 < samples * 6) failures += "upper band not white; ";
    return failures;
}

}  // namespace liveview::test
