// camgrab: takes frames from a camera's video stream through the stream
// session, exactly as the live view reads them, and stores each frame's bytes
// unchanged as DIR/00001.jpg, DIR/00002.jpg, ... (DIR is made when missing)
//   camgrab URL --user U --password P --frames N --out DIR [--stall-seconds S]
// A part whose bytes are not one whole JPEG (FF D8 ... FF D9) is reported and
// not stored. A stream that delivers no part for S seconds (10 by default)
// counts as ended.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/Url.h"
#include "transport/StreamSession.h"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr,
                 "camgrab: %s\nusage: camgrab URL --user U --password P --frames N --out DIR [--stall-seconds S]\n",
                 why);
    return 2;
}

// The frame's bytes: its Content-Length bytes, or without a usable length
// from the start marker FF D8 through the first end marker FF D9 after it.
bool CutFrame(const std::string& read, int32_t length, std::string& frame) {
    if (length >= 0) {
        if (read.size() < size_t(length) || length < 4) return false;
        frame = read.substr(0, size_t(length));
        return frame.compare(0, 2, "\xFF\xD8") == 0 && frame.compare(frame.size() - 2, 2, "\xFF\xD9") == 0;
    }
    const size_t soi = read.find("\xFF\xD8");
    if (soi == std::string::npos) return false;
    const size_t eoi = read.find("\xFF\xD9", soi + 2);
    if (eoi == std::string::npos) return false;
    frame = read.substr(soi, eoi + 2 - soi);
    return true;
}

// Makes dir and every missing folder above it; true when it exists afterwards.
bool MakeFolder(const std::string& dir) {
    for (size_t i = dir.find_first_of("\\/", 1); i != std::string::npos; i = dir.find_first_of("\\/", i + 1)) {
        if (dir[i - 1] != ':') CreateDirectoryA(dir.substr(0, i).c_str(), nullptr);
    }
    CreateDirectoryA(dir.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesA(dir.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

int main(int argc, char** argv) {
    std::string url, user, password, out;
    long frames = -1;
    long stallSeconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--user" && hasValue) {
            user = argv[++i];
        } else if (arg == "--password" && hasValue) {
            password = argv[++i];
        } else if (arg == "--frames" && hasValue) {
            char* end = nullptr;
            frames = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || frames < 1 || frames > 99999) return Usage("--frames takes a number from 1 to 99999");
        } else if (arg == "--stall-seconds" && hasValue) {
            char* end = nullptr;
            stallSeconds = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || stallSeconds < 1) return Usage("--stall-seconds takes a positive number");
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            return Usage(("unknown or incomplete option " + arg).c_str());
        } else if (url.empty()) {
            url = arg;
        } else {
            return Usage("more than one URL");
        }
    }
    if (url.empty() || frames < 0 || out.empty()) return Usage("URL, --frames and --out are needed");

    if (!MakeFolder(out)) {
        std::fprintf(stderr, "camgrab: cannot make the folder %s\n", out.c_str());
        return 4;
    }
    const qern::ParsedUrl parts = qern::ParseUrl(url);
    const std::string base = parts.scheme + "://" + parts.host + ":" + std::to_string(parts.port);
    qern::StreamSession session;
    if (!session.SetUrl(base.c_str()) || !session.SetPath(parts.path.c_str()) || !session.SetUser(user.c_str()) ||
        !session.SetPassword(password.c_str())) {
        std::fprintf(stderr, "camgrab: URL, path, user or password too long\n");
        return 2;
    }
    if (!session.OpenVideo()) {
        std::fprintf(stderr, "camgrab: cannot open %s\n", url.c_str());
        return 3;
    }
    session.SetThreshold(10000);

    // A stalled camera blocks the reads; closing the stream underneath ends them.
    std::atomic<long> progress{0};
    std::atomic<bool> finished{false};
    std::atomic<bool> stalled{false};
    std::thread watchdog([&] {
        long seen = -1;
        auto since = std::chrono::steady_clock::now();
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const auto now = std::chrono::steady_clock::now();
            if (progress != seen) {
                seen = progress;
                since = now;
            } else if (now - since > std::chrono::seconds(stallSeconds)) {
                stalled = true;
                session.CloseVideo();
                break;
            }
        }
    });

    std::vector<uint8_t> buffer(4096);
    long got = 0;
    int idlePasses = 0;
    while (got < frames) {
        const int32_t filled = session.Fill();
        if (session.DropBacklog()) {
            std::fprintf(stderr, "camgrab: fell behind, dropped buffered bytes\n");
            continue;
        }
        if (session.ParseHeader(nullptr, nullptr) < 0) {
            // Nothing usable buffered; stop once the stream has ended and nothing new came.
            if (session.StreamEnded() && filled == 0 && ++idlePasses > 2) break;
            continue;
        }
        idlePasses = 0;
        ++progress;
        const int32_t length = session.Part().hasLength ? session.Part().length : -1;
        const bool stamped = session.Part().stamped;
        std::string read;
        bool end = false;
        qern::JpegSource& source = session;
        while (!end) {
            const int32_t n = source.Read(buffer.data(), int32_t(buffer.size()), &end);
            if (n > 0) read.append(reinterpret_cast<const char*>(buffer.data()), size_t(n));
        }
        source.Close();
        std::string frame;
        if (!CutFrame(read, length, frame)) {
            if (session.StreamEnded()) break;  // the last frame came short
            std::fprintf(stderr, "camgrab: a part of %d bytes that is not a whole JPEG was skipped\n", length);
            continue;
        }
        ++got;
        char name[16];
        std::snprintf(name, sizeof name, "%05ld.jpg", got);
        const std::string file = out + "\\" + name;
        FILE* f = std::fopen(file.c_str(), "wb");
        if (!f || std::fwrite(frame.data(), 1, frame.size(), f) != frame.size()) {
            if (f) std::fclose(f);
            std::fprintf(stderr, "camgrab: cannot write %s\n", file.c_str());
            finished = true;
            watchdog.join();
            session.CloseVideo();
            return 4;
        }
        std::fclose(f);
        if (stamped) {
            const qern::CameraTime& t = session.cameraTime;
            std::printf("%05ld %zu bytes %04d-%02d-%02d %02d:%02d:%02d.%06d\n", got, frame.size(), t.year + 1900,
                        t.month + 1, t.dayOfMonth, t.hours, t.minutes, t.seconds, session.cameraMicros);
        } else {
            std::printf("%05ld %zu bytes no stamp\n", got, frame.size());
        }
        std::fflush(stdout);
    }
    finished = true;
    watchdog.join();
    session.CloseVideo();
    if (got < frames) {
        std::fprintf(stderr, "camgrab: the stream %s after %ld of %ld frames\n", stalled ? "stalled" : "ended", got,
                     frames);
        return 1;
    }
    return 0;
}
