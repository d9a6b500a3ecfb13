// TForm200: the editor of the recorder's user display pages. Nothing in this
// program opens it; it holds its controls and texts.
#pragma once

#include "platform/controls.h"

class TForm200 : public tav::TForm {
 public:
  TForm200();

  tav::TSpeedButton* SB_0 = nullptr;  // factory settings
  tav::TListBox* LB_PAGES = nullptr;
  tav::TButton *B_OK = nullptr, *B_NO = nullptr;
};

extern TForm200* Form200;
