#include "acquisition/firmware_update.h"

#include "platform/text.h"

using namespace tav::literals;

TForm50* Form50 = nullptr;

TForm50::TForm50() {
  Name = "Form50";
  Caption = "Update";
  Visible = false;
  SetBounds(100, 80, 420, 300);

  // German texts until a text table is applied.
  const std::string german[25] = {
      "Verbindung zum tavrik herstellen", "tavrik darf nicht schlafen",
      "dann [ Update starten ] anklicken", "Update starten", "Update beenden", "Start",
      "INIT RS232", "File Länge"_w, "Datenfile kann nicht geöffnet werden"_w,
      "MC16 zum tavrik senden", "tavrik antwortet nicht", "(O)K vom tavrik",
      "Update für den tavrik"_w, "Wartet auf (B)", "Datei transformieren",
      "Update ins Flash speichern", "Fehler beim Flash schreiben                       ",
      "Fehler beim Flash löschen"_w, "Userfile", "Update in den Flash speichern", "Update Zeit",
      "Checksumme nicht OK", "Bitte warten", "Bitte tavrik reseten", "und Update neu starten"};
  for (int i = 0; i < 25; ++i) UiText[i] = german[i];

  L_1 = Make<tav::TLabel>("L_1");
  L_1->SetBounds(16, 16, 380, 13);
  L_2 = Make<tav::TLabel>("L_2");
  L_2->SetBounds(16, 36, 380, 13);
  L_3 = Make<tav::TLabel>("L_3");
  L_3->SetBounds(16, 56, 380, 13);

  B_START = Make<tav::TButton>("B_START");
  B_START->SetBounds(16, 84, 160, 28);
  // No device link on this platform: the update cannot be started.
  B_START->Enabled = false;

  PB_1 = Make<tav::TProgressBar>("PB_1");
  PB_1->SetBounds(16, 124, 372, 16);

  M_INFO = Make<tav::TMemo>("M_INFO");
  M_INFO->ReadOnly = true;
  M_INFO->SetBounds(16, 150, 372, 90);

  // The labels and the button show the texts as the window is shown.
  OnShow = [this](tav::TControl*) {
    L_1->SetCaption(UiText[0]);
    L_2->SetCaption(UiText[1]);
    L_3->SetCaption(UiText[2]);
    B_START->Caption = UiText[3];
  };
  OnShow(this);

  FinishCreate();
}
