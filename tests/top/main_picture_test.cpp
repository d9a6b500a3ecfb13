// The main window's picture paints a gradient with the program's name and
// the note under it.
#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
