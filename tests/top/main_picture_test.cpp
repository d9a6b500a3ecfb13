// The main window's picture paints a gradient with the program's name and
// the note under it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "top/main_window.h"

namespace {

TEST(MainPicture, PaintsGradientTitleAndNote) {
  TMainPicture pb;
  pb.Title = "tavlog";
  pb.Subtitle = "Training log for cyclists and runners";
  pb.Detail = "Rider: DEMO    412 trips";
  tav::TBitmap bmp(600, 420);
  pb.Paint(bmp.Canvas());
  // Darker at the top than in the sky below.
  auto brightness = [](tav::TColor c) { return (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF); };
  EXPECT_LT(brightness(bmp.Pixel(590, 2)), brightness(bmp.Pixel(590, 200)));
  // The title is drawn in white somewhere in its band.
  bool white = false;
  for (int y = 30; y < 100 && !white; ++y)
    for (int x = 36; x < 250 && !white; ++x) white = bmp.Pixel(x, y) == tav::clWhite;
  EXPECT_TRUE(white);

  // A note shows in a pale box near the bottom.
  pb.Message = "There are no rides saved for this rider!";
  tav::TBitmap with_note(600, 420);
  pb.Paint(with_note.Canvas());
  EXPECT_EQ(with_note.Pixel(24, 420 - 26), tav::RGBColor(255, 244, 196));
  if (const char* out = std::getenv("TAVLOG_PICTURE_PNG")) with_note.SaveToPng(out);
}

// A note longer than the picture is wide goes on several lines inside it;
// it never asks for a wider window.
TEST(MainPicture, ALongNoteWrapsInsteadOfWideningTheWindow) {
  TMainPicture pb;
  pb.Title = "tavlog";
  const int needed = pb.NeededWidth();
  std::string note;
  for (int i = 0; i < 12; ++i) note += "/home/rider/data/DEMO/DEMO.T_D ";
  pb.Message = note;
  EXPECT_EQ(pb.NeededWidth(), needed);
  const std::vector<std::string> lines = tav::WrapToWidth(tav::TFont{}, note, 536);
  ASSERT_GT(lines.size(), 1u);
  std::string joined;
  for (const std::string& line : lines) {
    EXPECT_LE(tav::MeasureTextWidth(tav::TFont{}, line), 536) << line;
    joined += line + " ";
  }
  EXPECT_EQ(joined, note);  // every word, in order
  tav::TBitmap bmp(600, 420);
  pb.Paint(bmp.Canvas());
  const tav::TColor pale = tav::RGBColor(255, 244, 196);
  // The box ends inside the picture, 20 pixels from its right edge ...
  int right = 0;
  for (int x = 0; x < 600; ++x)
    if (bmp.Pixel(x, 420 - 22) == pale) right = x;
  EXPECT_GT(right, 300);
  EXPECT_LT(right, 600 - 20);
  // ... and stands at least two text lines high (a one-line box is a line
  // and 14 pixels high).
  auto box_height = [&](tav::TBitmap& b) {
    int y = 420 - 22;
    while (y > 0 && b.Pixel(22, y - 1) == pale) --y;
    return 420 - 21 - y + 2;  // with the frame
  };
  pb.Message = "short";
  tav::TBitmap one(600, 420);
  pb.Paint(one.Canvas());
  const int one_line = box_height(one) - 14;
  ASSERT_GT(one_line, 5);
  EXPECT_GE(box_height(bmp) - 14, 2 * one_line);
}

}  // namespace
