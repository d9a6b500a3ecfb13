// TForm400: the basic data of the power model (masses, drag areas, rolling
// resistance, averaging base, efficiency).
#pragma once

#include "platform/controls.h"

class TForm400 : public tav::TForm {
 public:
  TForm400();

  tav::TLabel *L_Caption = nullptr, *L_U1 = nullptr, *L_U2 = nullptr, *L_U3 = nullptr,
              *L_U11 = nullptr, *L_U12 = nullptr, *L_U13 = nullptr, *L_U14 = nullptr,
              *L_U15 = nullptr, *L_U21 = nullptr, *L_U22 = nullptr, *L_U31 = nullptr,
              *L_U01 = nullptr, *L_U02 = nullptr;
  tav::TButton *B_TP = nullptr, *Do_NIX = nullptr;
};

extern TForm400* Form400;
