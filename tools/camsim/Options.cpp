#include "tools/camsim/Options.h"

#include "tools/camsim/SettingsCgi.h"

#include <charconv>
#include <functional>
#include <map>

namespace camsim {
namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool ParseSeconds(const std::string& text, double& out) {
    try {
        size_t used = 0;
        out = std::stod(text, &used);
        return used == text.size() && out >= 0;
    } catch (const std::exception&) {
        return false;
    }
}

using Setter = std::function<bool(Options&, const std::string&)>;

Setter Int(int Options::*field, int min, int max) {
    return [=](Options& o, const std::string& v) {
        return ParseNumber(v, o.*field) && o.*field >= min && o.*field <= max;
    };
}

template <typename S>
Setter IntIn(S Options::*part, int S::*field, int min, int max) {
    return [=](Options& o, const std::string& v) {
        int& target = (o.*part).*field;
        return ParseNumber(v, target) && target >= min && target <= max;
    };
}

Setter Text(std::string Options::*field) {
    return [=](Options& o, const std::string& v) {
        o.*field = v;
        return true;
    };
}

const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"--bind", Text(&Options::bindAddress)},
        {"--port", Int(&Options::port, 0, 65535)},
        {"--port-file", Text(&Options::portFile)},
        {"--user", Text(&Options::user)},
        {"--password", Text(&Options::password)},
        {"--realm", Text(&Options::realm)},
        {"--fps", Int(&Options::fps, 1, 100)},
        {"--size",
         [](Options& o, const std::string& v) {
             auto size = ParseSize(v);
             if (size) o.size = *size;
             return size.has_value();
         }},
        {"--subsampling",
         [](Options& o, const std::string& v) {
             auto s = ParseSubsampling(v);
             if (s) o.jpeg.subsampling = *s;
             return s.has_value();
         }},
        {"--quality", IntIn(&Options::jpeg, &JpegSettings::quality, 1, 100)},
        {"--restart", IntIn(&Options::jpeg, &JpegSettings::restartInterval, 0, 65535)},
        {"--frames", Text(&Options::framesDir)},
        {"--start-time",
         [](Options& o, const std::string& v) {
             uint32_t t = 0;
             if (!ParseNumber(v, t)) return false;
             o.startTime = t;
             return true;
         }},
        {"--ir", Int(&Options::irState, 0, 1)},
        {"--setting",
         [](Options& o, const std::string& v) {
             CameraSettings scratch;
             if (!ApplyStartSetting(scratch, v)) return false;
             o.startSettings.push_back(v);
             return true;
         }},
        {"--log", Text(&Options::requestLog)},
        {"--frame-log", Text(&Options::frameLog)},
        {"--audio",
         [](Options& o, const std::string& v) {
             auto s = ParseAudioSignal(v);
             if (s) o.audio.signal = *s;
             return s.has_value();
         }},
        {"--tone-hz", IntIn(&Options::audio, &AudioSettings::toneHz, 1, 3999)},
        {"--tone-amplitude", IntIn(&Options::audio, &AudioSettings::toneAmplitude, 0, 32767)},
        {"--audio-skip-every", IntIn(&Options::audio, &AudioSettings::skipEvery, 0, 1000000)},
        {"--audio-drop-after", IntIn(&Options::audio, &AudioSettings::dropAfter, 0, 1000000000)},
        {"--stall-after", IntIn(&Options::faults, &FaultPlan::stallAfter, 0, 1000000000)},
        {"--drop-after", IntIn(&Options::faults, &FaultPlan::dropAfter, 0, 1000000000)},
        {"--answer-after",
         [](Options& o, const std::string& v) {
             return ParseSeconds(v, o.faults.answerAfter) && o.faults.answerAfter <= 3600;
         }},
        {"--refuse-for", [](Options& o, const std::string& v) { return ParseSeconds(v, o.faults.refuseFor); }},
        {"--refuse-from", [](Options& o, const std::string& v) { return ParseSeconds(v, o.faults.refuseFrom); }},
        {"--garbage", IntIn(&Options::faults, &FaultPlan::garbageBytes, 0, 1000000)},
        {"--truncate-every", IntIn(&Options::faults, &FaultPlan::truncateEvery, 0, 1000000000)},
        {"--wrong-length-every", IntIn(&Options::faults, &FaultPlan::wrongLengthEvery, 0, 1000000000)},
        {"--wrong-length-by", IntIn(&Options::faults, &FaultPlan::wrongLengthBy, -1000000, 1000000)},
        {"--drip", IntIn(&Options::faults, &FaultPlan::dripBytesPerSecond, 0, 1000000000)},
        {"--size-cycle", IntIn(&Options::faults, &FaultPlan::sizeCycle, 0, 1000000000)},
    };
    return options;
}

const std::map<std::string, std::function<void(Options&)>>& FlagOptions() {
    static const std::map<std::string, std::function<void(Options&)>> flags = {
        {"--no-stamp", [](Options& o) { o.noStamp = true; }},
        {"--exact-stamps", [](Options& o) { o.exactStamps = true; }},
        {"--no-answer", [](Options& o) { o.faults.noAnswer = true; }},
        {"--no-audio", [](Options& o) { o.audio.absent = true; }},
        {"--progressive", [](Options& o) { o.jpeg.progressive = true; }},
        {"--help", [](Options& o) { o.help = true; }},
    };
    return flags;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "-h") name = "--help";
        auto flag = FlagOptions().find(name);
        if (flag != FlagOptions().end()) {
            if (value) {
                error = name + " takes no value";
                return std::nullopt;
            }
            flag->second(options);
            continue;
        }
        auto it = ValueOptions().find(name);
        if (it == ValueOptions().end()) {
            error = "unknown option " + args[i];
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!it->second(options, *value)) {
            error = "bad value for " + name + ": " + *value;
            return std::nullopt;
        }
    }
    return options;
}

std::string UsageText() {
    return R"(Usage: camsim [options]
A network camera on this computer: Motion-JPEG video, PCM audio and the settings CGIs,
behind HTTP Basic authorization.

Served paths:
  /video.cgi          multipart/x-mixed-replace stream of JPEG parts (HTTP/1.0)
  /audio.cgi          stream of audio frames, 128 samples each, 8000 samples/s
  /imagectrl.cgi?Resl=1..3|Brne=1..7|Cont=1..11|Sarn=1..11|Nhue=1..99
  /DVRctrl.cgi?TimeD=MINUTES|PathD=FOLDER (the folder as sent, rest of the query)
  /Rdimagectrl.cgi  /RdDVRctrl.cgi  /RdPTctrl.cgi

Network:
  --bind ADDR              address to listen on (default 127.0.0.1)
  --port N                 port (default 8080; 0 picks a free one, printed on stdout)
  --port-file FILE         write the port in use to FILE once listening
  --user NAME              user name (default admin)
  --password TEXT          password (default admin)
  --realm TEXT             realm of the 401 challenge (default camsim)

Video:
  --fps N                  frames per second (default 25)
  --size WxH               640x480 (default), 320x240 or 176x144
  --subsampling S          444, 422 (default), 420, 440 or gray
  --quality N              JPEG quality 1..100 (default 85)
  --progressive            progressive JPEG
  --restart N              restart marker every N MCUs (default 0: none)
  --frames DIR             send the .jpg/.jpeg files of DIR in name order, looping
  --no-stamp               leave out the Content-Auth line
  --exact-stamps           stamp frame n with start + n/fps exactly
  --start-time SECONDS     start of --exact-stamps (default: the connection's start)

Audio:
  --audio SIGNAL           counter (default): sample k = k mod 65536 as signed 16 bit;
                           tone: a sine; silence
  --tone-hz N              tone frequency (default 1000)
  --tone-amplitude N       tone amplitude (default 8000)
  --audio-skip-every N     leave out every Nth audio frame (a sequence gap)
  --audio-drop-after N     close the audio connection after N frames
  --no-audio               no microphone: /audio.cgi answers 404

Settings:
  --ir 0|1                 the infrared state read by /RdPTctrl.cgi (default 0)
  --setting KEY=VALUE      a starting value of any key the readers report, for example
                           Brne=6, Nhue=20, Shap=1, Freq=60, TimeD=45, PathD=d:\clips\
                           (repeatable; Resl also sets the picture size)

Logs:
  --log FILE               one line per request: conn=N auth=yes|no METHOD TARGET
  --frame-log FILE         one line per JPEG sent: conn=N frame=I size=BYTES crc32=HEX

Faults (counts per connection, 0 = off):
  --stall-after N          stop sending after N frames, keep the connection open
  --drop-after N           close the connection after N frames
  --no-answer              accept connections and never answer
  --answer-after SEC       answer each request only SEC seconds after it came
  --refuse-for SEC         refuse connections for SEC seconds ...
  --refuse-from SEC        ... starting SEC seconds after start (default 0)
  --garbage N              N bytes of noise between parts
  --truncate-every N       every Nth frame only half sent (Content-Length of the whole)
  --wrong-length-every N   every Nth frame with a wrong Content-Length ...
  --wrong-length-by D      ... off by D bytes (default 512, may be negative)
  --drip BYTES_PER_SEC     trickle the video response out at this rate
  --size-cycle N           every N frames switch to the next picture size

  --help                   this text
)";
}

}  // namespace camsim
