#include "transport/StreamSessionCore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "transport/Trace.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One hexadecimal field of at most width digits after optional blanks, as
// "%0<width>X" reads it. False when no digit follows.
bool ScanHex(const char*& p, const char* end, int width, uint32_t& value) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  value = 0;
  int digits = 0;
  while (p < end && digits < width && HexValue(*p) >= 0) {
    value = value * 16 + static_cast<uint32_t>(HexValue(*p++));
    ++digits;
  }
  return digits > 0;
}

bool ToLocalTime(uint32_t seconds, std::tm& out) {
  const std::time_t t = static_cast<std::time_t>(seconds);
#ifdef _WIN32
  return localtime_s(&out, &t) == 0;
#else
  return localtime_r(&t, &out) != nullptr;
#endif
}

}  // namespace

StreamSessionCore::StreamSessionCore(int32_t capacity) : ring(capacity) {}

void StreamSessionCore::ResetStream() {
  ring.Clear();
  frameBudget = frameRemaining = 0;
  frameLength = -1;
  frameStamped = false;
  dataRemaining = -1;
  soi = eoi = -1;
  streamEnded = false;
}

int32_t StreamSessionCore::PullOnce() {
  if (!video) return 0;
  const int32_t room = std::min(ring.ContiguousFree(), kChunk);
  if (room <= 0) return 0;
  const int32_t n = video->Read(ring.WritePointer(), room);
  if (n < 1) {
    streamEnded = true;
    return 0;
  }
  ring.AdvanceWrite(std::min(n, room));
  return std::min(n, room);
}

bool StreamSessionCore::Ensure(int32_t bytes) {
  bytes = std::min(bytes, ring.Capacity());
  while (ring.Available() < bytes) {
    if (PullOnce() < 1) return false;
  }
  return true;
}

int32_t StreamSessionCore::Fill() {
  if (ring.Available() >= ring.Threshold()) return 0;
  int32_t total = 0;
  do {
    const int32_t n = PullOnce();
    if (n < 1) break;
    total += n;
  } while (ring.Available() < ring.Threshold());
  return total;
}

bool StreamSessionCore::DropBacklog() {
  const int32_t held = ring.Available();
  if (held < kBacklogLimit) return false;
  // Whole 4-byte steps until fewer than 1001 bytes are left.
  const int32_t steps = (held - (kBacklogKeep + 1)) / 4 + 1;
  ring.AdvanceRead(steps * 4);
  return true;
}

bool StreamSessionCore::Matches(int32_t offset, const char* text, int32_t length) {
  if (offset + length > ring.Available()) return false;
  for (int32_t i = 0; i < length; ++i) {
    if (ring.At(offset + i) != static_cast<uint8_t>(text[i])) return false;
  }
  return true;
}

int32_t StreamSessionCore::FindCrLf(int32_t from, int32_t maxIndex) {
  for (int32_t i = 0; i <= maxIndex; ++i) {
    if (!Ensure(from + i + 2)) return -1;
    if (ring.At(from + i) == '\r' && ring.At(from + i + 1) == '\n') return i;
  }
  return -1;
}

bool StreamSessionCore::ParseStamp(int32_t offset, int32_t length) {
  char text[64];
  length = ring.Peek(offset, reinterpret_cast<uint8_t*>(text), std::min<int32_t>(length, sizeof text));
  const char* p = text;
  const char* end = text + length;
  uint32_t first = 0, seconds = 0, micros = 0;
  // All three fields or nothing: a half stamp would pair a new time with old microseconds.
  if (!ScanHex(p, end, 2, first) || !ScanHex(p, end, 8, seconds) || !ScanHex(p, end, 5, micros)) return false;
  std::tm local{};
  if (!ToLocalTime(seconds, local)) return false;
  cameraTime.seconds = local.tm_sec;
  cameraTime.minutes = local.tm_min;
  cameraTime.hours = local.tm_hour;
  cameraTime.dayOfMonth = local.tm_mday;
  cameraTime.month = local.tm_mon;
  cameraTime.year = local.tm_year;
  cameraTime.dayOfWeek = local.tm_wday;
  cameraTime.dayOfYear = local.tm_yday;
  cameraTime.daylight = local.tm_isdst;
  cameraMicros = static_cast<int32_t>(micros);
  return true;
}

int32_t StreamSessionCore::ParseHeader(int32_t* missing, int32_t* budget) {
  frameBudget = frameRemaining = kDefaultBudget;
  dataRemaining = -1;
  frameLength = -1;
  frameStamped = false;
  soi = eoi = -1;
  int32_t consumed = 0;
  for (;;) {
    // Scan one chunk; a match may run into the bytes after it, never past
    // what was received (a tail that could still start a match stays).
    const int32_t chunk = std::min(ring.Available(), kChunk);
    int32_t pos = 0;
    bool found = false;
    for (; pos < chunk && pos + 7 <= ring.Available(); ++pos) {
      if (Matches(pos, "/jpeg\r\n", 7)) {
        found = true;
        break;
      }
    }
    consumed += ring.AdvanceRead(pos);
    if (!found) {
      if (pos < chunk || ring.Available() <= 8192) return -1;
      continue;
    }

    // "/jpeg\r\n" and the 15 bytes of the length header's name.
    if (!Ensure(22)) return -1;  // stream ended inside the headers
    int32_t p = 22;
    int32_t length = -1;
    int32_t i = FindCrLf(p, 8);
    if (i >= 0) {
      char digits[11] = {};
      ring.Peek(p, reinterpret_cast<uint8_t*>(digits), i);
      length = std::atoi(digits);  // at most 8 characters: cannot overflow
      p += i + 2;
      if (length < 0 || length > ring.Capacity()) {
        // Not a frame the ring can hold: drop the header; the next pass
        // resynchronises on the next part, skipping this one's bytes.
        QernTrace("StreamSession::ParseHeader..bad length %d\n", length);
        ring.AdvanceRead(p);
        return -1;
      }
      frameBudget = frameRemaining = length + kBudgetSlack;
    }

    if (Ensure(p + 13) && Matches(p, "Content-Auth:", 13)) {
      p += 13;
      i = FindCrLf(p, 62);
      if (i >= 0) {
        frameStamped = ParseStamp(p, i);
        p += i + 2;
      }
    }
    i = FindCrLf(p, 18);
    if (i >= 0) p += i + 2;
    consumed += ring.AdvanceRead(p);

    const int32_t held = ring.Available();
    if (frameRemaining > held) {
      if (missing) *missing = frameRemaining - held;
      if (budget) *budget = frameRemaining;
    }
    if (length >= 0) {
      // Complete the frame before the decoder sees it; the 14 budget bytes
      // after it belong to the next part and are not waited for.
      dataRemaining = frameLength = length;
      Ensure(length);
    }
    if (recording.load()) {
      FindJpegMarkers(0, length);
      WriteRecordedFrame();
    }
    return consumed;
  }
}

void StreamSessionCore::FindJpegMarkers(int32_t start, int32_t dataEnd) {
  soi = eoi = -1;
  const int32_t held = ring.Available();
  for (int32_t s = start; s <= start + 200 && s + 1 < held; ++s) {
    if (ring.At(s) == 0xFF && ring.At(s + 1) == 0xD8) {
      soi = s;
      break;
    }
  }
  if (soi < 0) return;
  if (dataEnd >= 0) {
    // The frame's own end marker: the last FF D9 in the final 200 bytes of its data.
    const int32_t lowest = std::max(soi + 2, dataEnd - 2 - 200);
    for (int32_t e = std::min(dataEnd, held) - 2; e >= lowest; --e) {
      if (ring.At(e) == 0xFF && ring.At(e + 1) == 0xD9) {
        eoi = e;
        return;
      }
    }
  } else {
    // No length: the first end marker after the start, within the budget.
    for (int32_t e = soi + 2; e + 1 < held && e - start < frameBudget; ++e) {
      if (ring.At(e) == 0xFF && ring.At(e + 1) == 0xD9) {
        eoi = e;
        return;
      }
    }
  }
}

void StreamSessionCore::WriteRecordedFrame() {
  if (soi < 0 || eoi < 0) return;
  const int32_t size = eoi - soi + 2;
  {
    std::lock_guard<std::mutex> lock(recordLock);
    if (recordSink && size < frameBudget) {
      const uint8_t* data = ring.Contiguous(soi, size, recordScratch);
      if (data) recordSink->WriteFrame(data, static_cast<size_t>(size));
    }
  }
  OnFrameRecorded();
}

void StreamSessionCore::AttachRecordSink(RecordSink* sink) {
  std::lock_guard<std::mutex> lock(recordLock);
  recordSink = sink;
}

void StreamSessionCore::DetachRecordSink() {
  std::lock_guard<std::mutex> lock(recordLock);
  recordSink = nullptr;
}

int32_t StreamSessionCore::Read(uint8_t* dst, int32_t max, bool* end) {
  bool finished = true;
  int32_t n = 0;
  if (frameRemaining > 0 && dst && max > 0) {
    // Wait only for the frame's own data; hand out whatever else is held.
    const int32_t want = std::min(max, dataRemaining >= 0 ? dataRemaining : frameRemaining);
    Ensure(want);
    n = ring.Peek(0, dst, max);
    ring.AdvanceRead(std::min(n, frameRemaining));  // bytes beyond the budget stay buffered
    frameRemaining -= n;
    if (dataRemaining >= 0) dataRemaining = std::max(0, dataRemaining - n);
    finished = frameRemaining < 1 || n < want || n == 0;
  }
  if (end) *end = finished;
  return n;
}
