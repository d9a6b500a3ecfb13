#include "core/main_unit.h"

#include "platform/text.h"

using namespace tav::literals;

TForm1* Form1 = nullptr;

namespace tav {
std::string CommandLineTrip;
}  // namespace tav

void TMainPicture::Paint(tav::TCanvas&) {}

TForm1::TForm1() {
  Name = "Form1";
  Caption = "tavlog";
  SetBounds(60, 40, 980, 680);
  Visible = false;
  CreateControls();
  LayoutControls();
  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  OnClose = [this](tav::TControl* s, tav::TCloseAction& a) { FormClose(s, a); };
  FinishCreate();
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
  P_TOP = Make<tav::TPanel>("P_TOP");
  auto sb = [this](const char* name, std::string hint) {
    auto* b = Make<tav::TSpeedButton>(name);
    b->Hint = std::move(hint);
    b->ShowHint = true;
    return b;
  };
  SB_User = sb("SB_User", "Fahrer Auswählen u. Fahrerdaten eingeben"_w);
  SB_DB = sb("SB_DB", "Tagebuch öffnen"_w);
  SB_D1 = sb("SB_D1", "Fahrt in den PC übertragen / Rechtsklick Weitere"_w);
  SB_Service = sb("SB_Service", "Extras");
  SB_Language = sb("SB_Language", "Sprache/Language auswählen"_w);
  SB_Help = sb("SB_Help", "Schnittstellen Test");
  SB_U_DATA = sb("SB_U_DATA", "Einstellungen Fahrer und Rad");
  SB_DATA = sb("SB_DATA", "Einstellungen vom tavrik holen");
  SB_DATA_PC = sb("SB_DATA_PC", "Einstellungen zum tavrik übertragen"_w);
  SB_KAL = sb("SB_KAL", "kalendarische Darstellung der Trainigsdaten");
  SB_SETTIME = sb("SB_SETTIME", "Datum + Zeit im tavrik stellen");
  SB_KILLTRIP = sb("SB_KILLTRIP", "Alle Fahrten im tavrik löschen"_w);
  SB_UPDATE = sb("SB_UPDATE", "Neues Betriebsprogramm zum tavrik senden");
  SB_DEO = sb("SB_DEO", "Konvertiere DEO-File zum CSV-File (Exel)/RechtsKlick(WKO)");
  SB_CSV = sb("SB_CSV", "Konvertiere CSV-File zum DEO-File");
  SB_DR = sb("SB_DR", "Fahrer löschen"_w);
  SB_DB_CSV = sb("SB_DB_CSV", "Komplettes Tagebuch als CSV-Datei exportieren");
  SB_TO_COL = sb("SB_TO_COL", "Deo zum Vergleichsordner speichern");
  SB_DEO_DB = sb("SB_DEO_DB", "Deo ins Tagbuch einfügen"_w);
  SB_DEO_DEO = sb("SB_DEO_DEO", "Zwei Teilfahrten zusammenfügen"_w);
  SB_RESETCOM = sb("SB_RESETCOM", "Umstellen der COM-Geschwindigkeit");
  SB_CAL_NEW = sb("SB_CAL_NEW", "Darstellung Kalender ändern"_w);
  SB_G6 = sb("SB_G6", "Darstellung Charts ändern"_w);
  SB_DEF_MAIL = sb("SB_DEF_MAIL", "Mail-Zugang einrichten");
  SB_SET_COL = sb("SB_SET_COL", "Farbeinstellungen");
  SB_GLS = sb("SB_GLS", "Trainingsbereiche definieren");

  L_Rider = Make<tav::TLabel>("L_Rider", P_TOP);
  CB_Rider = Make<tav::TComboBox>("CB_Rider", P_TOP);
  CB_Rider->Style = tav::TComboBoxStyle::csDropDownList;

  PB = Make<TMainPicture>("PB");
  Z_INFO = Make<tav::TMemo>("Z_INFO");
  Z_INFO->ReadOnly = true;
  Z_INFO->ScrollBars = tav::TScrollStyle::ssVertical;

  P_Wait = Make<tav::TPanel>("P_Wait");
  P_Wait->Caption = "Bitte Warten";
  P_Wait->Visible = false;
  SB_BRE2 = Make<tav::TSpeedButton>("SB_BRE2", P_Wait);
  SB_BRE2->Caption = "Abbruch";
  SB_BRE2->Visible = false;

  P_SPR_WAHL = Make<tav::TPanel>("P_SPR_WAHL");
  P_SPR_WAHL->Visible = false;
  CB_LG = Make<tav::TComboBox>("CB_LG", P_SPR_WAHL);
  CB_LG->Style = tav::TComboBoxStyle::csDropDownList;
  CB_LG->Items = {"Deutsch", "English", "Español"_w};

  P_SET = Make<tav::TPanel>("P_SET");
  P_SET->Visible = false;
  auto lab = [this](const char* name, std::string caption) {
    auto* l = Make<tav::TLabel>(name, P_SET);
    l->SetCaption(std::move(caption));
    return l;
  };
  LUS_1 = lab("LUS_1", "Gewicht");
  LUS_2 = lab("LUS_2", "Körpergröße"_w);
  LED_1 = lab("LED_1", "Gewicht");
  LED_2 = lab("LED_2", "Grenzleistung");
  LED_5 = lab("LED_5", "K-Faktor");
  LED_6 = lab("LED_6", "Radumfang [MM]");
  LRB_2 = lab("LRB_2", "Datenspeicher");
  LRB_3 = lab("LRB_3", "Darst. Zeit");
  LRB_4 = lab("LRB_4", "Darst. Datum");
  LRB_5 = lab("LRB_5", "Längen"_w);
  LRB_7 = lab("LRB_7", "Temperatur");
  LRB_8 = lab("LRB_8", "Dämpfung Power"_w);
  LRB_9 = lab("LRB_9", "Dämpfung Puls"_w);
  LRB_10 = lab("LRB_10", "Anz. Power");
  L_GLS = lab("L_GLS", "Eingabe in");
  L_ABS = lab("L_ABS", "Absolut");
  auto btn = [this](const char* name, std::string caption) {
    auto* b = Make<tav::TButton>(name, P_SET);
    b->Caption = std::move(caption);
    return b;
  };
  GLS_NOT_OK = btn("GLS_NOT_OK", "Verwerfen");
  ED_OK = btn("ED_OK", "Übernehmen \n+ Speichern"_w);
  ED_NO = btn("ED_NO", "Verwerfen");
  B_CL_Trip = btn("B_CL_Trip", "Löschen"_w);
  B_Nein = btn("B_Nein", "Nein");
  RB_9 = Make<tav::TComboBox>("RB_9", P_SET);
  RB_9->Style = tav::TComboBoxStyle::csDropDownList;
  RB_9->Items = {"Keine", "Schwach", "Normal", "Stark", "Sehr stark"};
  CB_Color = Make<tav::TComboBox>("CB_Color", P_SET);
  CB_Color->Style = tav::TComboBoxStyle::csDropDownList;
  CB_Color->Items = {"Zeichenfläche"_w, "Power", "RPM", "Geschw.", "Puls", "Höhe"_w,
                     "Steigung", "Steigrate", "Gang", "Temperatur", "Hilfslinien",
                     "T/D - Skala", "Intervall", "Läufer/Schwim."_w, "Hintergrund oben",
                     "Hintergrund unten"};
  Timer1 = MakeTimer("Timer1");
}

void TForm1::LayoutControls() {}

int TForm1::NextTripNumber() { return 0; }
void TForm1::SaveTripList() { TripListChanged = false; }
void TForm1::ShowRiderLabel() {}
void TForm1::FormActivate(tav::TControl*) {}
void TForm1::FormClose(tav::TControl*, tav::TCloseAction&) {}
void TForm1::SB_DBClick(tav::TControl*) {}
void TForm1::SB_KALClick(tav::TControl*) {}
void TForm1::SB_CAL_NEWClick(tav::TControl*) {}
void TForm1::SB_G6Click(tav::TControl*) {}
void TForm1::SB_DEF_MAILClick() {}
void TForm1::SB_DEOClick(tav::TControl*) {}
void TForm1::SB_TO_COLClick(tav::TControl*) {}
void TForm1::SB_DEO_DEOClick(tav::TControl*) {}
void TForm1::SB_LanguageClick(tav::TControl*) {}
void TForm1::SB_UserClick(tav::TControl*) {}
void TForm1::CB_LGChange(tav::TControl*) {}
void TForm1::CB_RiderChange(tav::TControl*) {}
void TForm1::RebuildRiderList() {}
void TForm1::ChooseRider(const std::string&) {}
void TForm1::ShowPictureMessage(const std::string&) {}
void TForm1::OpenCommandLineTrip() {}
