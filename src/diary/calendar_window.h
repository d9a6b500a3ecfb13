// TForm33: the week calendar.
#pragma once

#include <array>
#include <string>

#include "platform/controls.h"

class TForm33 : public tav::TForm {
 public:
  TForm33();

  // ---- Texts (the language tables write them): 0 week-number title, 1-7
  // Monday to Sunday, 8 summary title, 10 "week", 11-30 the line items,
  // 31-33 hints of SB_SEL by kind.
  static constexpr int kUiTexts = 34;
  std::array<std::string, kUiTexts> UiText;

  // Opens the calendar's settings panel.
  void DO_1Click(tav::TControl* sender);

  // Kind of sport the calendar shows (Tag 0 bike with power, 1 bike with
  // heart rate, 2 run); the diary's day sums take the trips of this kind.
  tav::TSpeedButton* SB_SEL = nullptr;

  // First day of the period the overview button hands to the six-chart
  // overview (a date value).
  double PeriodStart = 0.0;
};

extern TForm33* Form33;
