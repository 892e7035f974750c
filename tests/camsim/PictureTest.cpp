// The test picture and its JPEG encoding: decoded with libjpeg-turbo, the flat areas
// hold their colours, the picture controls visibly change them, and the encoder
// options show up in the file's markers.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <algorithm>

#include "tests/camsim/CamsimTestSupport.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/JpegEncoder.h"
#include "tools/camsim/TestPicture.h"

using namespace camsim;
using camsim_test::DecodedPicture;
using camsim_test::DecodeJpeg;

namespace {

std::vector<uint8_t> EncodeFrame(const TestPicture& picture, uint64_t index, const PictureControls& controls,
                                 const JpegSettings& settings = {}) {
  std::vector<uint8_t> rgb;
  picture.Render(index, controls, rgb);
  return JpegEncoder(settings).Encode(rgb.data(), picture.Size().width, picture.Size().height);
}

// Mean colour of the middle half of a flat area, away from its edges.
Rgb AreaColour(const DecodedPicture& picture, const FlatArea& area) {
  return picture.Average(area.x + area.width / 4, area.y + area.height / 4, area.width / 2, area.height / 2);
}

DecodedPicture DecodeOrFail(const std::vector<uint8_t>& jpeg) {
  std::optional<DecodedPicture> picture = DecodeJpeg(jpeg);
  EXPECT_TRUE(picture);
  return picture.value_or(DecodedPicture{});
}

bool HasMarker(const std::vector<uint8_t>& jpeg, uint8_t marker) {
  for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return true;
  }
  return false;
}

int Saturation(const Rgb& c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}); }

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kGrey{128, 128, 128};

}  // namespace

class CamsimPictureSizes : public ::testing::TestWithParam<VideoSize> {};

TEST_P(CamsimPictureSizes, DecodesToTheSizeAndTheFlatColours) {
  const TestPicture picture(GetParam());
  const std::vector<uint8_t> jpeg = EncodeFrame(picture, 12, PictureControls{});
  ASSERT_GE(jpeg.size(), 4u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);
  const DecodedPicture decoded = DecodeOrFail(jpeg);
  EXPECT_EQ(decoded.width, GetParam().width);
  EXPECT_EQ(decoded.height, GetParam().height);

  const std::vector<FlatArea> areas = picture.FlatAreas();
  ASSERT_EQ(areas.size(), 4u);
  const Rgb expected[] = {kRed, kGreen, kBlue, kGrey};
  for (size_t i = 0; i < areas.size(); ++i) {
    const Rgb got = AreaColour(decoded, areas[i]);
    EXPECT_TRUE(camsim_test::Near(got, expected[i], 12)) << "area " << i << " " << camsim_test::ToString(got);
  }
  // The flat areas fill the lower three quarters.
  EXPECT_EQ(areas[0].y, GetParam().height / 4);
  EXPECT_EQ(areas[3].x + areas[3].width, GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(AllSizes, CamsimPictureSizes,
                         ::testing::Values(VideoSize{640, 480}, VideoSize{320, 240}, VideoSize{176, 144}),
                         [](const auto& info) { return "W" + SizeText(info.param); });

class CamsimSubsampling : public ::testing::TestWithParam<std::pair<Subsampling, int>> {};

TEST_P(CamsimSubsampling, IsWrittenIntoTheFile) {
  const TestPicture picture(VideoSize{320, 240});
  JpegSettings settings;
  settings.subsampling = GetParam().first;
  const std::vector<uint8_t> jpeg = EncodeFrame(picture, 0, PictureControls{}, settings);
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = -1, colourspace = -1;
  ASSERT_EQ(tjDecompressHeader3(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width, &height,
                                &subsampling, &colourspace),
            0);
  tjDestroy(handle);
  EXPECT_EQ(subsampling, GetParam().second);
  const DecodedPicture decoded = DecodeOrFail(jpeg);
  const Rgb grey = AreaColour(decoded, picture.FlatAreas()[3]);
  EXPECT_TRUE(camsim_test::Near(grey, kGrey, 8)) << camsim_test::ToString(grey);
  if (GetParam().first == Subsampling::Gray) {
    EXPECT_LE(Saturation(AreaColour(decoded, picture.FlatAreas()[0])), 2);  // red turned to grey
  } else {
    EXPECT_TRUE(camsim_test::Near(AreaColour(decoded, picture.FlatAreas()[0]), kRed, 12));
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, CamsimSubsampling,
                         ::testing::Values(std::make_pair(Subsampling::S444, static_cast<int>(TJSAMP_444)),
                                           std::make_pair(Subsampling::S422, static_cast<int>(TJSAMP_422)),
                                           std::make_pair(Subsampling::S420, static_cast<int>(TJSAMP_420)),
                                           std::make_pair(Subsampling::S440, static_cast<int>(TJSAMP_440)),
                                           std::make_pair(Subsampling::Gray, static_cast<int>(TJSAMP_GRAY))),
                         [](const auto& info) { return std::string("S") + SubsamplingText(info.param.first); });

TEST(CamsimJpeg, ProgressiveAndRestartOptionsShowInTheMarkers) {
  const TestPicture picture(VideoSize{176, 144});
  const std::vector<uint8_t> baseline = EncodeFrame(picture, 0, PictureControls{});
  EXPECT_TRUE(HasMarker(baseline, 0xC0));   // SOF0
  EXPECT_FALSE(HasMarker(baseline, 0xC2));
  EXPECT_FALSE(HasMarker(baseline, 0xDD));  // no DRI
  EXPECT_FALSE(HasMarker(baseline, 0xD0));

  JpegSettings progressive;
  progressive.progressive = true;
  const std::vector<uint8_t> p = EncodeFrame(picture, 0, PictureControls{}, progressive);
  EXPECT_TRUE(HasMarker(p, 0xC2));  // SOF2
  EXPECT_TRUE(DecodeJpeg(p));

  JpegSettings restart;
  restart.restartInterval = 2;
  const std::vector<uint8_t> r = EncodeFrame(picture, 0, PictureControls{}, restart);
  ASSERT_TRUE(HasMarker(r, 0xDD));
  for (uint8_t rst = 0xD0; rst <= 0xD7; ++rst) EXPECT_TRUE(HasMarker(r, rst)) << std::hex << int(rst);
  // The DRI segment holds the interval: FF DD 00 04 00 02.
  const uint8_t driSegment[] = {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x02};
  EXPECT_NE(std::search(r.begin(), r.end(), std::begin(driSegment), std::end(driSegment)), r.end());
  EXPECT_TRUE(DecodeJpeg(r));
}

TEST(CamsimJpeg, QualityChangesTheFileSize) {
  const TestPicture picture(VideoSize{640, 480});
  JpegSettings low, high;
  low.quality = 20;
  high.quality = 95;
  EXPECT_LT(EncodeFrame(picture, 0, {}, low).size(), EncodeFrame(picture, 0, {}, high).size());
}

TEST(CamsimPicture, MovesAndCountsFromFrameToFrame) {
  const TestPicture picture(VideoSize{320, 240});
  std::vector<uint8_t> a, b, c;
  picture.Render(1, PictureControls{}, a);
  picture.Render(2, PictureControls{}, b);
  picture.Render(1, PictureControls{}, c);
  EXPECT_NE(a, b);
  EXPECT_EQ(a, c);
  EXPECT_NE(picture.SquareX(1), picture.SquareX(2));

  // The counter's last digit cell: digit 1 and digit 2 differ in their black pixels.
  const DecodedPicture one = DecodeOrFail(EncodeFrame(picture, 1, {}));
  const DecodedPicture two = DecodeOrFail(EncodeFrame(picture, 2, {}));
  const int s = picture.DigitScale();
  const int x = s + (TestPicture::kDigits - 1) * 4 * s;
  const int top = (240 / 4 - 5 * s) / 2;
  // The second glyph row of 1 has its left and middle cells black, that of 2 only
  // its right cell.
  EXPECT_LT(one.Average(x + s / 4, top + s + s / 4, s / 2, s / 2).r, 64);       // 1: left cell of row 2 black
  EXPECT_GT(two.Average(x + s / 4, top + s + s / 4, s / 2, s / 2).r, 192);      // 2: left cell of row 2 white
  EXPECT_GT(one.Average(x + 2 * s + s / 4, top + s + s / 4, s / 2, s / 2).r, 192);  // 1: right cell white
  EXPECT_LT(two.Average(x + 2 * s + s / 4, top + s + s / 4, s / 2, s / 2).r, 64);   // 2: right cell black
}

TEST(CamsimPicture, BrightnessAndContrastMoveTheGreyBar) {
  const TestPicture picture(VideoSize{320, 240});
  const FlatArea grey = picture.FlatAreas()[3];
  const FlatArea red = picture.FlatAreas()[0];
  PictureControls dark, bright, flat;
  dark.brightness = 1;
  bright.brightness = 7;
  flat.contrast = 1;
  const Rgb normal = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, {})), grey);
  const Rgb darker = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, dark)), grey);
  const Rgb brighter = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, bright)), grey);
  EXPECT_LT(darker.g + 40, normal.g);
  EXPECT_GT(brighter.g, normal.g + 40);
  // Low contrast pulls the red bar's luma towards mid-grey, so it gets darker.
  const Rgb redNormal = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, {})), red);
  const Rgb redFlat = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, flat)), red);
  EXPECT_GT(redFlat.g + redFlat.b, redNormal.g + redNormal.b + 40) << camsim_test::ToString(redFlat);
}

TEST(CamsimPicture, SaturationAndHueChangeTheColours) {
  const TestPicture picture(VideoSize{320, 240});
  const FlatArea red = picture.FlatAreas()[0];
  PictureControls grey, vivid, turned;
  grey.saturation = 1;
  vivid.saturation = 11;
  turned.hue = 83;  // about 120 degrees on
  const Rgb normal = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, {})), red);
  const Rgb washed = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, grey)), red);
  const Rgb turnedRed = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, turned)), red);
  EXPECT_LE(Saturation(washed), 10) << camsim_test::ToString(washed);
  EXPECT_GT(Saturation(normal), 200);
  // Turned by about a third of the circle, red no longer leads.
  EXPECT_LT(turnedRed.r, std::max(turnedRed.g, turnedRed.b)) << camsim_test::ToString(turnedRed);

  // More saturation pushes a muted colour further from grey.
  const FlatArea greyBar = picture.FlatAreas()[3];
  PictureControls half = vivid;
  half.saturation = 4;
  const Rgb muted = AreaColour(DecodeOrFail(EncodeFrame(picture, 0, half)), red);
  EXPECT_LT(Saturation(muted), Saturation(normal));
  EXPECT_LE(Saturation(AreaColour(DecodeOrFail(EncodeFrame(picture, 0, vivid)), greyBar)), 4);  // grey stays grey
}

TEST(CamsimFrameSource, FollowsTheResolutionSettingAndTheSizeCycle) {
  CameraSettings settings;
  settings.resl = 2;
  LiveFrameSource live(JpegSettings{}, FaultPlan{});
  std::optional<DecodedPicture> frame = DecodeJpeg(*live.Frame(0, settings));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width, 320);
  settings.resl = 3;
  frame = DecodeJpeg(*live.Frame(1, settings));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width, 176);
  EXPECT_EQ(frame->height, 144);

  FaultPlan cycle;
  cycle.sizeCycle = 2;
  LiveFrameSource cycling(JpegSettings{}, cycle);
  CameraSettings vga;
  const int widths[] = {640, 640, 320, 320, 176, 176, 640};
  for (uint64_t n = 0; n < 7; ++n) {
    frame = DecodeJpeg(*cycling.Frame(n, vga));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, widths[n]) << "frame " << n;
  }
}
