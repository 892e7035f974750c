#pragma once
// The process's one audio reader thread: it waits for the live view to know its camera, then
// opens the camera's sound. A stop ends it at any stage, closing a message box it shows.
#include <windows.h>

// What the reader needs from the live view that started it.
class AudioCameraLink {
public:
    virtual bool HasCameraAddress() = 0;  // base URL and video path both set
    virtual bool IsStreaming() = 0;
    virtual HWND OwnerWindow() = 0;  // owner of the reader's message boxes
protected:
    ~AudioCameraLink() = default;
};

namespace AudioReader {

// Checks 500 ms apart while waiting for the camera, and how many.
const DWORD kCheckIntervalMs = 500;
const int kChecks = 25;

// Starts a reader for link unless one is running already (one reader per process).
// True when a reader for link runs after the call.
bool Start(AudioCameraLink* link);
// Ends the reader that link started, within about ms (then it is terminated); false if it had to be.
bool Stop(AudioCameraLink* link, DWORD ms);
// True while a reader thread runs.
bool Running();
// Set once the player has asked for sound the first time; never cleared.
bool AudioStarted();
void MarkAudioStarted();

}  // namespace AudioReader
