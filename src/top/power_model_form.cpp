#include "top/power_model_form.h"

#include "platform/text.h"

using namespace tav::literals;

TForm400* Form400 = nullptr;

TForm400::TForm400() {
  Name = "Form400";
  Caption = "Power";
  BorderStyle = tav::TFormBorderStyle::bsDialog;
  SetBounds(200, 150, 520, 330);
  Visible = false;
  auto lab = [this](const char* name, std::string caption, int left, int top) {
    auto* l = Make<tav::TLabel>(name);
    l->Left = left;
    l->Top = top;
    l->SetCaption(std::move(caption));
    return l;
  };
  L_Caption = lab("L_Caption", "Grunddaten zur Leistungsberechnung", 16, 12);
  L_Caption->Font.Size = 11;
  L_Caption->Font.Style = tav::fsBold;
  L_Caption->AdjustSize();
  L_U1 = lab("L_U1", "Gewichte [kg]", 16, 48);
  L_U11 = lab("L_U11", "Bike (inc VR+HR)", 32, 72);
  L_U12 = lab("L_U12", "Vorderrad", 32, 96);
  L_U13 = lab("L_U13", "Hinterrad", 32, 120);
  L_U14 = lab("L_U14", "Fahrer", 32, 144);
  L_U15 = lab("L_U15", "Rucksack,Kleider", 32, 168);
  L_U2 = lab("L_U2", "CWA-Werte", 270, 48);
  L_U21 = lab("L_U21", "Fahrer", 286, 72);
  L_U22 = lab("L_U22", "Bike", 286, 96);
  L_U3 = lab("L_U3", "Reibungsbeiwert", 270, 128);
  L_U31 = lab("L_U31", "Reifen(Boden)", 286, 152);
  L_U01 = lab("L_U01", "Mittlung[sec]", 270, 184);
  L_U02 = lab("L_U02", "Wirkungsgrad", 270, 208);
  B_TP = Make<tav::TButton>("B_TP");
  B_TP->Caption = "Übernehmen"_w;
  B_TP->SetBounds(300, 250, 95, 27);
  B_TP->ModalResult = tav::mrOk;
  Do_NIX = Make<tav::TButton>("Do_NIX");
  Do_NIX->Caption = "Verwerfen";
  Do_NIX->SetBounds(405, 250, 95, 27);
  Do_NIX->ModalResult = tav::mrCancel;
  FinishCreate();
}
