#include "viewing/show_2_trips.h"

TForm31* Form31 = nullptr;

TForm31::TForm31() {
  Name = "Form31";
  Caption = "TRIP 1 / TRIP 2";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  ZK1 = Make<tav::TLabel>("ZK1");
  ZK21 = Make<tav::TLabel>("ZK21");
  FinishCreate();
}

TForm31::~TForm31() = default;

void TForm31::FormActivate(tav::TControl*) {}
