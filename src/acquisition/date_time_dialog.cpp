#include "acquisition/date_time_dialog.h"

#include "platform/text.h"

using namespace tav::literals;

TForm7* Form7 = nullptr;

TForm7::TForm7() {
  Name = "Form7";
  Caption = "Datum / Zeit";
  BorderStyle = tav::TFormBorderStyle::bsDialog;
  Visible = false;
  SetBounds(100, 80, 300, 180);
  SetClientSize(284, 141);

  LED_1 = Make<tav::TLabel>("LED_1");
  LED_1->SetCaption("Datum");
  LED_1->SetBounds(16, 20, 60, 13);
  DTP_DATE = Make<tav::TDateTimePicker>("DTP_DATE");
  DTP_DATE->Kind = tav::TDateTimeKind::dtkDate;
  DTP_DATE->SetBounds(100, 16, 168, 21);

  LED_2 = Make<tav::TLabel>("LED_2");
  LED_2->SetCaption("Zeit");
  LED_2->SetBounds(16, 56, 60, 13);
  DTP_TIME = Make<tav::TDateTimePicker>("DTP_TIME");
  DTP_TIME->Kind = tav::TDateTimeKind::dtkTime;
  DTP_TIME->SetBounds(100, 52, 168, 21);

  ED_OK = Make<tav::TButton>("ED_OK");
  ED_OK->Caption = "Übernehmen"_w;
  ED_OK->ModalResult = tav::mrOk;
  ED_OK->Default = true;
  ED_OK->SetBounds(16, 96, 120, 28);
  ED_NO = Make<tav::TButton>("ED_NO");
  ED_NO->Caption = "Verwerfen";
  ED_NO->ModalResult = tav::mrCancel;
  ED_NO->Cancel = true;
  ED_NO->SetBounds(148, 96, 120, 28);

  FinishCreate();
}
