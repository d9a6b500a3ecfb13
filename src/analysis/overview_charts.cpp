#include "analysis/overview_charts.h"

TForm35* Form35 = nullptr;

TForm35::TForm35() {
  Name = "Form35";
  Caption = "Charts";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}

void TForm35::LoadSelectedTrips() {}

void TForm35::ShowItemStats(int, tav::TMouseButton) {}
