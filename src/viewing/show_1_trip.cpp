#include "viewing/show_1_trip.h"

TForm30* Form30 = nullptr;
namespace tav {
int ApplyDefaultChannels = 0;
}  // namespace tav

TForm30::TForm30() {
  Name = "Form30";
  Caption = "TRIP";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}

TForm30::~TForm30() = default;

void TForm30::FormActivate(tav::TControl*) {}
void TForm30::SB_KALClick(tav::TControl*) {}
void TForm30::SB_POPUClick(tav::TControl*) {}
