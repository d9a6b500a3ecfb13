// TForm7: the date and time entry dialog for the recorder's clock. Nothing
// in this program opens it; it holds its controls and texts.
#pragma once

#include "platform/controls.h"

class TForm7 : public tav::TForm {
 public:
  TForm7();

  tav::TLabel *LED_1 = nullptr, *LED_2 = nullptr;  // date, time
  tav::TDateTimePicker *DTP_DATE = nullptr, *DTP_TIME = nullptr;
  tav::TButton *ED_OK = nullptr, *ED_NO = nullptr;
};

extern TForm7* Form7;
