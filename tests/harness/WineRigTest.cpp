// The Windows half of the rig: a display and a sound device under Wine (loopback WinINet against the
// simulator is every camera suite's first step).
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

TEST(WineDesktop, WindowsAndSoundDeviceExist) {
  HWND w = CreateWindowExA(0, "STATIC", "rig", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr) << "no display";
  DestroyWindow(w);
  IDirectSound* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK) << "no sound device";
  ds->Release();
}
