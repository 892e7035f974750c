// The platform-free half of the stream session: the ring of video bytes, the
// multipart part parser, the per-frame budget through which the JPEG decoder
// reads one frame, the camera's time stamp and the hand-off to a recording.
// Bytes come from a ByteStream; on Windows that is the video HttpClient.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "jpeg/JpegSource.h"
#include "transport/ByteStream.h"
#include "transport/RecordSink.h"
#include "transport/RingBuffer.h"

// Local broken-down time of the camera's last stamp (the fields of struct tm).
struct CameraTime {
  int32_t seconds = 0;
  int32_t minutes = 0;
  int32_t hours = 0;
  int32_t dayOfMonth = 0;  // 1..31
  int32_t month = 0;       // 0..11
  int32_t year = 0;        // years since 1900
  int32_t dayOfWeek = 0;
  int32_t dayOfYear = 0;
  int32_t daylight = 0;
};

class StreamSessionCore : public JpegSource {
 public:
  static constexpr int32_t kRingCapacity = 131072;
  static constexpr int32_t kDefaultBudget = 51200;  // a part without a usable length
  static constexpr int32_t kBudgetSlack = 14;       // budget = Content-Length + 14
  static constexpr int32_t kChunk = 4096;
  static constexpr int32_t kBacklogLimit = 100000;
  static constexpr int32_t kBacklogKeep = 1000;

  explicit StreamSessionCore(int32_t capacity = kRingCapacity);
  ~StreamSessionCore() override = default;
  StreamSessionCore(const StreamSessionCore&) = delete;
  StreamSessionCore& operator=(const StreamSessionCore&) = delete;

  // The source of video bytes; not owned. Null reads as an ended stream.
  void SetVideoStream(ByteStream* stream) {
    video = stream;
    streamEnded = false;
  }
  // Drops buffered bytes and the current frame: a new stream begins.
  void ResetStream();
  // True once the source gave nothing (its end, a failure or a close).
  bool StreamEnded() const { return streamEnded; }

  // Reads until the threshold is buffered, the ring is full or the stream
  // gives nothing; returns the bytes read by this call.
  int32_t Fill();
  void SetThreshold(int32_t n) { ring.SetThreshold(n); }
  // Keeps only the newest 997..1000 bytes once 100000 or more are buffered.
  bool DropBacklog();

  // Finds the next JPEG part, reads its length and stamp, consumes its
  // headers and sets frameBudget/frameRemaining. Returns the bytes consumed
  // (>= 22), or -1 when no usable part header is buffered (the garbage scanned
  // is dropped) or the part's length is negative or more than the ring holds
  // (its header is dropped). A frame that was not yet whole is reported through missing
  // (budget minus the bytes held after the headers) and budget, and is then
  // completed from the stream up to its Content-Length.
  int32_t ParseHeader(int32_t* missing, int32_t* budget);

  // The decoder's byte source: hands out up to max received bytes of the
  // current frame; *end becomes true once the frame's budget is used up (the
  // bytes beyond it stay buffered for the next part) or the stream ended
  // before the frame was whole. Never hands out a byte not received.
  int32_t Read(uint8_t* dst, int32_t max, bool* end) override;
  void Close() override {}

  // Recording hand-off. The sink is not owned; after DetachRecordSink
  // returns no WriteFrame is in progress or will start.
  void AttachRecordSink(RecordSink* sink);
  void DetachRecordSink();

  RingBuffer ring;
  int32_t frameBudget = 0;
  int32_t frameRemaining = 0;
  int32_t frameLength = -1;    // Content-Length of the current part, -1 without a usable one
  bool frameStamped = false;   // the current part carried a whole Content-Auth stamp
  std::atomic<int32_t> recording{0};
  int32_t soi = -1;  // frame markers found for recording: offsets from the read position
  int32_t eoi = -1;
  CameraTime cameraTime;
  int32_t cameraMicros = 0;

 protected:
  // Called after each frame handed to the recording (the RecFinish signal).
  virtual void OnFrameRecorded() {}

  // Offsets of FF D8 at most 200 bytes after start and of the FF D9 that ends
  // the frame; -1 each when not found in the received bytes.
  void FindJpegMarkers(int32_t start, int32_t dataEnd);
  void WriteRecordedFrame();

 private:
  int32_t PullOnce();
  bool Ensure(int32_t bytes);
  int32_t FindCrLf(int32_t from, int32_t maxIndex);
  bool Matches(int32_t offset, const char* text, int32_t length);
  bool ParseStamp(int32_t offset, int32_t length);

  ByteStream* video = nullptr;
  bool streamEnded = false;
  int32_t dataRemaining = -1;  // Content-Length bytes still to hand out, -1 unknown
  std::mutex recordLock;
  RecordSink* recordSink = nullptr;
  std::vector<uint8_t> recordScratch;
};
