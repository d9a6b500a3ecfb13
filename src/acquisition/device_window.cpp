#include "acquisition/device_window.h"

#include "platform/text.h"

using namespace tav::literals;

TForm530* Form530 = nullptr;

TForm530::TForm530() {
  Name = "Form530";
  Caption = "tavrik";
  Visible = false;
  SetBounds(100, 80, 600, 420);

  List_Trip = Make<tav::TComboBox>("List_Trip");
  List_Trip->Hint = "Fahrt auswählen"_w;
  List_Trip->Style = tav::TComboBoxStyle::csDropDownList;
  List_Trip->SetBounds(8, 8, 360, 21);
  // Trips come from the device, which this program does not talk to.
  List_Trip->Enabled = false;

  M_INFO = Make<tav::TMemo>("M_INFO");
  M_INFO->ReadOnly = true;
  M_INFO->SetBounds(8, 40, 568, 260);

  PB_1 = Make<tav::TProgressBar>("PB_1");
  PB_1->SetBounds(8, 310, 568, 16);

  B_CLOSE = Make<tav::TButton>("B_CLOSE");
  B_CLOSE->Caption = "OK";
  B_CLOSE->ModalResult = tav::mrOk;
  B_CLOSE->SetBounds(476, 336, 100, 28);
  B_CLOSE->OnClick = [this](tav::TControl*) { Close(); };

  FinishCreate();
}
