#include "top/main_window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "analysis/distribution_charts.h"
#include "analysis/evaluation_window.h"
#include "analysis/overview_charts.h"
#include "core/core_data.h"
#include "core/settings.h"
#include "core/trip_catalog.h"
#include "core/trip_database.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "core/user_words.h"
#include "diary/calendar_window.h"
#include "diary/diary_window.h"
#include "mail/mail_form.h"
#include "openers/openers.h"
#include "platform/canvas.h"
#include "platform/text.h"
#include "top/info_form.h"
#include "viewing/sample_table.h"
#include "viewing/trip_view.h"

using namespace tav::literals;

TForm1* Form1 = nullptr;

namespace tav {

// ---------------------------------------------------------------------------
// Pure helpers
// ---------------------------------------------------------------------------

std::string StripArgumentQuotes(std::string_view arg) {
  std::size_t b = 0, e = arg.size();
  while (b < e && (arg[b] == ' ' || arg[b] == '\t')) ++b;
  while (e > b && (arg[e - 1] == ' ' || arg[e - 1] == '\t' || arg[e - 1] == '\r' || arg[e - 1] == '\n')) --e;
  if (b < e && arg[b] == '"') ++b;
  if (e > b && arg[e - 1] == '"') --e;
  return std::string(arg.substr(b, e - b));
}

}  // namespace tav

namespace {

// The main window's own captions: the text tables set hints only, so the
// button and group captions follow the language here.
struct Caption3 {
  const char* name;
  const char* de;
  const char* en;
  const char* es;
};
// UTF-8 source, converted when applied.
constexpr Caption3 kCaptions[] = {
    {"SB_DB", "Tagebuch", "Diary", "Diario"},
    {"SB_KAL", "Kalender", "Calendar", "Calendario"},
    {"SB_G6", "Charts", "Charts", "Gráficos"},
    {"SB_CAL_NEW", "Kalender-Ansicht", "Calendar view", "Vista calendario"},
    {"SB_DEO", "DEO » CSV", "DEO » CSV", "DEO » CSV"},
    {"SB_TO_COL", "Vergleichsordner", "Compare folder", "Carpeta comparar"},
    {"SB_DEO_DEO", "Fahrten verbinden", "Join trips", "Juntar recorridos"},
    {"SB_CSV", "CSV » DEO", "CSV » DEO", "CSV » DEO"},
    {"SB_DEO_DB", "DEO » Tagebuch", "DEO » diary", "DEO » diario"},
    {"SB_DB_CSV", "Tagebuch » CSV", "Diary » CSV", "Diario » CSV"},
    {"SB_User", "Fahrer", "Rider", "Ciclista"},
    {"SB_U_DATA", "Fahrer und Rad", "Rider and bike", "Ciclista y bici"},
    {"SB_GLS", "Trainingsbereiche", "Training zones", "Zonas"},
    {"SB_SET_COL", "Farben", "Colours", "Colores"},
    {"SB_DEF_MAIL", "Mail", "Mail", "Email"},
    {"SB_DR", "Fahrer löschen", "Delete rider", "Borrar ciclista"},
    {"SB_Service", "Extras", "Extras", "Extras"},
    {"SB_D1", "Fahrten holen", "Download trips", "Bajar recorridos"},
    {"SB_DATA", "Einstellungen holen", "Read settings", "Leer ajustes"},
    {"SB_DATA_PC", "Einstellungen senden", "Write settings", "Enviar ajustes"},
    {"SB_SETTIME", "Datum + Zeit", "Date + time", "Fecha + hora"},
    {"SB_KILLTRIP", "Speicher löschen", "Clear memory", "Borrar memoria"},
    {"SB_UPDATE", "Firmware", "Firmware", "Firmware"},
    {"SB_RESETCOM", "COM-Tempo", "COM speed", "Velocidad COM"},
    {"SB_Help", "Schnittstellentest", "Interface test", "Probar interfase"},
    {"SB_Language", "DE / EN / ES", "DE / EN / ES", "DE / EN / ES"},
    {"G_TRAIN", "Training", "Training", "Entrenamiento"},
    {"G_TRIPS", "Fahrten", "Trips", "Recorridos"},
    {"G_SETUP", "Einstellungen", "Settings", "Ajustes"},
    {"G_DEVICE", "tavrik (nicht angeschlossen)", "tavrik (not connected)", "tavrik (no conectado)"},
    {"L_RiderChoice", "Fahrer wählen:", "Choose rider:", "Elegir ciclista:"},
    {"L_NewRider", "Neuer Fahrer:", "New rider:", "Nuevo ciclista:"},
    {"B_NewRider", "Anlegen", "Create", "Crear"},
    {"B_RiderClose", "Schließen", "Close", "Cerrar"},
    {"L_Language", "Sprache / Language / Idioma", "Sprache / Language / Idioma",
     "Sprache / Language / Idioma"},
};

// The chosen language's text of three written here in UTF-8.
std::string Text3(const char* de, const char* en, const char* es) { return tav::Utf8ToCp1252(tav::Words(de, en, es)); }

std::string RiderTableFullText() {
  return Text3("Es gibt schon zehn Fahrer", "There are ten riders already",
               "Ya hay diez ciclistas");
}

// Button groups of the left column, in display order.
struct Group {
  const char* name;
  std::vector<const char*> buttons;
};
const std::vector<Group>& Groups() {
  static const std::vector<Group> groups = {
      {"G_TRAIN", {"SB_DB", "SB_KAL", "SB_G6", "SB_CAL_NEW"}},
      {"G_TRIPS", {"SB_DEO", "SB_TO_COL", "SB_DEO_DEO", "SB_CSV", "SB_DEO_DB", "SB_DB_CSV"}},
      {"G_SETUP", {"SB_User", "SB_DEF_MAIL", "SB_U_DATA", "SB_GLS", "SB_SET_COL", "SB_DR",
                   "SB_Service"}},
      {"G_DEVICE", {"SB_D1", "SB_DATA", "SB_DATA_PC", "SB_SETTIME", "SB_KILLTRIP", "SB_UPDATE",
                    "SB_RESETCOM", "SB_Help"}},
  };
  return groups;
}

constexpr tav::TColor kBandColor = tav::RGBColor(28, 58, 104);
constexpr int kClientWidth = 960, kClientHeight = 640;
constexpr int kBandHeight = 52;
constexpr int kButtonWidth = 140, kButtonHeight = 26, kButtonGap = 5;
constexpr int kGroupPad = 10, kGroupTitle = 20;

std::string ProgramFolderText() {
  namespace fs = std::filesystem;
  fs::path exe;
  if (!tav::Application().ExeName.empty()) {
    exe = tav::FsPath(tav::Application().ExeName);
  } else {
    std::error_code ec;
    exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::current_path(ec) / "tavlog";
  }
  std::error_code ec;
  fs::path abs = fs::absolute(exe, ec);
  if (!ec) exe = abs;
  return tav::PathText(exe.parent_path());
}

void EnterProgramFolder() {
  std::error_code ec;
  std::filesystem::current_path(tav::FsPath(tav::ProgramDir), ec);
}

}  // namespace

// ---------------------------------------------------------------------------
// Picture
// ---------------------------------------------------------------------------

namespace {
// The faces of the picture's texts: title, subtitle, detail and note.
tav::TFont PictureFont(int size, unsigned style = 0) {
  tav::TFont f;
  f.Name = "DejaVu Sans";
  f.Size = size;
  f.Style = style;
  return f;
}
const tav::TFont& TitleFont() { static const tav::TFont f = PictureFont(40, tav::fsBold); return f; }
const tav::TFont& SubtitleFont() { static const tav::TFont f = PictureFont(13); return f; }
const tav::TFont& DetailFont() { static const tav::TFont f = PictureFont(11); return f; }
const tav::TFont& NoteFont() { static const tav::TFont f = PictureFont(10, tav::fsBold); return f; }
constexpr int kTitleX = 36, kTextX = 40, kTextTop = 30, kSubtitleTop = kTextTop + 72;
}  // namespace

int TMainPicture::NeededWidth() const {
  int w = kTitleX + tav::MeasureTextWidth(TitleFont(), Title);
  w = std::max(w, kTextX + tav::MeasureTextWidth(SubtitleFont(), Subtitle));
  w = std::max(w, kTextX + tav::MeasureTextWidth(DetailFont(), Detail));
  return w + 20;
}

int TMainPicture::NeededHeight() const {
  // The detail line, then room for the note box at the bottom.
  const int detail_bottom = kSubtitleTop + tav::MeasureTextHeight(SubtitleFont()) + 8 + tav::MeasureTextHeight(DetailFont());
  return detail_bottom + 12 + tav::MeasureTextHeight(NoteFont()) + 34;
}

void TMainPicture::Paint(tav::TCanvas& canvas) {
  const int w = canvas.Width(), h = canvas.Height();
  if (w <= 0 || h <= 0) return;
  // Vertical gradient: deep blue to a pale evening sky.
  const int r0 = 22, g0 = 52, b0 = 98, r1 = 176, g1 = 204, b1 = 236;
  canvas.Pen.Style = tav::TPenStyle::psClear;
  for (int y = 0; y < h; y += 2) {
    const int r = r0 + (r1 - r0) * y / std::max(1, h - 1);
    const int g = g0 + (g1 - g0) * y / std::max(1, h - 1);
    const int b = b0 + (b1 - b0) * y / std::max(1, h - 1);
    canvas.Brush.Color = tav::RGBColor(r, g, b);
    canvas.Brush.Style = tav::TBrushStyle::bsSolid;
    canvas.FillRect({0, y, w, std::min(h, y + 2)});
  }
  // Two ridges of a mountain profile along the bottom.
  auto ridge = [&](double base, double amp, double f1, double f2, tav::TColor color) {
    std::vector<tav::TPoint> pts;
    pts.push_back({0, h});
    for (int x = 0; x <= w; x += 6) {
      const double t = static_cast<double>(x) / std::max(1, w);
      const double v = 0.55 * std::abs(std::sin(t * f1 + 0.6)) + 0.30 * std::sin(t * f2 + 1.3) +
                       0.15 * std::sin(t * 23.0);
      pts.push_back({x, static_cast<int>(h * base - amp * h * v)});
    }
    pts.push_back({w, h});
    canvas.Brush.Color = color;
    canvas.Pen.Style = tav::TPenStyle::psClear;
    canvas.Polygon(pts);
  };
  ridge(0.86, 0.22, 5.1, 9.7, tav::RGBColor(120, 150, 190));
  ridge(0.95, 0.14, 7.3, 13.1, tav::RGBColor(70, 100, 145));
  // A power curve above the ridges.
  {
    std::vector<tav::TPoint> pts;
    for (int x = 0; x <= w; x += 3) {
      const double t = static_cast<double>(x) / std::max(1, w);
      const double v = 0.5 + 0.25 * std::sin(t * 17.0) + 0.12 * std::sin(t * 41.0 + 0.4) +
                       0.08 * std::sin(t * 97.0);
      pts.push_back({x, static_cast<int>(h * 0.62 - v * h * 0.12)});
    }
    canvas.Pen.Style = tav::TPenStyle::psSolid;
    canvas.Pen.Color = tav::RGBColor(255, 196, 64);
    canvas.Pen.Width = 2;
    canvas.Polyline(pts);
    canvas.Pen.Width = 1;
  }
  canvas.Brush.Style = tav::TBrushStyle::bsClear;
  canvas.Font = TitleFont();
  canvas.Font.Color = tav::clWhite;
  canvas.TextOut(kTitleX, kTextTop, Title);
  canvas.Font = SubtitleFont();
  canvas.Font.Color = tav::RGBColor(225, 235, 250);
  const int title_h = canvas.TextHeight("Ag");
  canvas.TextOut(kTextX, kSubtitleTop, Subtitle);
  canvas.Font = DetailFont();
  canvas.Font.Color = tav::RGBColor(225, 235, 250);
  canvas.TextOut(kTextX, kSubtitleTop + title_h + 8, Detail);
  if (!Message.empty()) {
    // A note longer than the picture is wide goes on as many lines as it needs.
    canvas.Font = NoteFont();
    const std::vector<std::string> lines = tav::WrapToWidth(canvas.Font, Message, std::max(1, w - 64), true);
    int tw = 0;
    for (const std::string& line : lines) tw = std::max(tw, canvas.TextWidth(line));
    const int th = canvas.TextHeight("Ag"), n = static_cast<int>(lines.size());
    const tav::TRect box{20, h - 34 - n * th, std::min(w - 20, 20 + tw + 24), h - 20};
    canvas.Brush.Style = tav::TBrushStyle::bsSolid;
    canvas.Brush.Color = tav::RGBColor(255, 244, 196);
    canvas.Pen.Style = tav::TPenStyle::psSolid;
    canvas.Pen.Color = tav::RGBColor(170, 130, 30);
    canvas.Rectangle(box);
    canvas.Brush.Style = tav::TBrushStyle::bsClear;
    canvas.Font.Color = tav::RGBColor(90, 60, 0);
    for (int i = 0; i < n; ++i) canvas.TextOut(box.Left + 12, box.Top + 7 + i * th, lines[static_cast<std::size_t>(i)]);
  }
}

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

TForm1::TForm1() {
  Name = "Form1";
  Caption = "tavlog";
  Visible = false;
  SetBounds(60, 40, kClientWidth + kFrameWidth, kClientHeight + kFrameHeight);
  SetClientSize(kClientWidth, kClientHeight);
  InitMessages();
  CreateControls();
  LayoutControls();
  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  OnClose = [this](tav::TControl* s, tav::TCloseAction& a) { FormClose(s, a); };
  OnResize = [this](tav::TControl*) { LayoutControls(); };
  KeyPreview = true;
  OnKeyDown = [this](tav::TControl* s, tav::WORD& k, tav::TShiftState sh) { FormKeyDown(s, k, sh); };
  StartUp();
  FinishCreate();
}

TForm1::~TForm1() = default;

void TForm1::InitMessages() {
  static const char* const kGerman[36] = {
      "Speichern", "Wechseln", "Wecken Sie den tavrik auf", "und wiederholen Sie die COM-Suche",
      "Höhe", "Verbindung zum tavrik wird getestet", "Schnittstelle lässt sich nicht öffnen",
      "Verbindung OK", "Übertragung beendet", "Alles gelöscht", "Bitte warten",
      "COM-Geschwindigkeit zu gross, versuche neu", "Der tavrik darf nicht schlafen",
      "Versuch clear device abgebrochen", "Neuer Versuch ", "Keine Daten im tavrik vorhanden",
      "Fahrer :", "nur temporär angelegt", "tavrik mit alter Firmware bitte updaten",
      "Gespeicherte Fahrten zu kurz", "Fahrer löschen", "Verwerfen",
      "Soll der Fahrer wirklich GELÖSCHT werden ?", "Sollen die Fahrten GELÖSCHT werden?",
      "Es sind keine Fahrten für diesen Fahrer gespeichert!",
      "Die Zonen 1-6 sind aufwärts steigend einzugeben.", "Die Zone A ist von bis einzugeben.",
      "Eine Zone entfällt wenn das Eingabefeld leer bleibt.",
      "Die Bezeichnungen können mittels KLICK geändert werden.", "Mehrfach Download aktivieren",
      "Selektierte Trips einlesen", "nur temporär angelegt", "Bitte Trip wählen (Klick auf Pfeil)",
      "Trainingsschwellen Power / Rechts-Click Parameterdefinition",
      "Trainingsschwellen  Puls (Radfahren)", "Trainingsschwellen Puls (Laufen) "};
  for (int i = 0; i < 36; ++i) MsgText[i] = tav::Utf8ToCp1252(kGerman[i]);
}

void TForm1::CreateControls() {
  P_TOP = Make<tav::TPanel>("P_TOP");
  P_TOP->Color = kBandColor;
  P_TOP->BevelOuter = tav::TBevelCut::bvNone;

  // Group frames of the button column.
  for (const auto& g : Groups()) {
    auto* box = Make<tav::TGroupBox>(g.name);
    box->Font.Style = tav::fsBold;
    group_boxes_.push_back(box);
  }
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
  // The commands this program offers; the others are shown but disabled.
  for (tav::TSpeedButton* b : {SB_D1, SB_Service, SB_Help, SB_U_DATA, SB_DATA, SB_DATA_PC,
                               SB_SETTIME, SB_KILLTRIP, SB_UPDATE, SB_CSV, SB_DR, SB_DB_CSV,
                               SB_DEO_DB, SB_RESETCOM, SB_SET_COL, SB_GLS})
    b->Enabled = false;
  SB_DB->OnClick = [this](tav::TControl* s) { SB_DBClick(s); };
  SB_KAL->OnClick = [this](tav::TControl* s) { SB_KALClick(s); };
  SB_CAL_NEW->OnClick = [this](tav::TControl* s) { SB_CAL_NEWClick(s); };
  SB_G6->OnClick = [this](tav::TControl* s) { SB_G6Click(s); };
  SB_DEF_MAIL->OnClick = [this](tav::TControl*) { SB_DEF_MAILClick(); };
  SB_DEO->OnClick = [this](tav::TControl* s) { SB_DEOClick(s); };
  SB_TO_COL->OnClick = [this](tav::TControl* s) { SB_TO_COLClick(s); };
  SB_DEO_DEO->OnClick = [this](tav::TControl* s) { SB_DEO_DEOClick(s); };
  SB_Language->OnClick = [this](tav::TControl* s) { SB_LanguageClick(s); };
  SB_User->OnClick = [this](tav::TControl* s) { SB_UserClick(s); };

  // The language button sits on the band, at its right end.
  SB_Language->Parent = P_TOP;
  // Rider line in the band.
  L_Rider = Make<tav::TLabel>("L_Rider", P_TOP);
  L_Rider->Font.Size = 13;
  L_Rider->Font.Style = tav::fsBold;
  L_Rider->Font.Color = tav::clWhite;
  CB_Rider = Make<tav::TComboBox>("CB_Rider", P_TOP);
  CB_Rider->Style = tav::TComboBoxStyle::csDropDownList;
  CB_Rider->DropDownCount = 12;
  CB_Rider->Hint = "Fahrer wählen"_w;
  CB_Rider->OnChange = [this](tav::TControl* s) { CB_RiderChange(s); };

  PB = Make<TMainPicture>("PB");
  PB->Title = "tavlog";
  Z_INFO = Make<tav::TMemo>("Z_INFO");
  Z_INFO->ReadOnly = true;
  Z_INFO->ScrollBars = tav::TScrollStyle::ssVertical;
  Z_INFO->Font.Name = "DejaVu Sans Mono";
  Z_INFO->Font.FixedPitch = true;

  P_Wait = Make<tav::TPanel>("P_Wait");
  P_Wait->Caption = "Bitte Warten";
  P_Wait->Color = tav::RGBColor(255, 244, 196);
  P_Wait->Font.Size = 12;
  P_Wait->Font.Style = tav::fsBold;
  P_Wait->Visible = false;
  SB_BRE2 = Make<tav::TSpeedButton>("SB_BRE2", P_Wait);
  SB_BRE2->Caption = "Abbruch";
  SB_BRE2->Visible = false;

  // Language panel, dropped below the language button.
  P_SPR_WAHL = Make<tav::TPanel>("P_SPR_WAHL");
  P_SPR_WAHL->Visible = false;
  P_SPR_WAHL->Color = tav::clWindow;
  L_Language = Make<tav::TLabel>("L_Language", P_SPR_WAHL);
  CB_LG = Make<tav::TComboBox>("CB_LG", P_SPR_WAHL);
  CB_LG->Style = tav::TComboBoxStyle::csDropDownList;
  CB_LG->Items = {"Deutsch", "English", "Español"_w};
  CB_LG->OnChange = [this](tav::TControl* s) { CB_LGChange(s); };

  // Rider panel: choose an existing rider or create a new one.
  P_RIDER = Make<tav::TPanel>("P_RIDER");
  P_RIDER->Visible = false;
  P_RIDER->Color = tav::clWindow;
  L_RiderChoice = Make<tav::TLabel>("L_RiderChoice", P_RIDER);
  LB_Riders = Make<tav::TListBox>("LB_Riders", P_RIDER);
  LB_Riders->OnClick = [this](tav::TControl*) {
    if (LB_Riders->ItemIndex >= 0 && LB_Riders->ItemIndex < LB_Riders->Items.Count())
      ChooseRider(LB_Riders->Items[LB_Riders->ItemIndex]);
  };
  L_NewRider = Make<tav::TLabel>("L_NewRider", P_RIDER);
  E_NewRider = Make<tav::TEdit>("E_NewRider", P_RIDER);
  E_NewRider->MaxLength = 31;
  B_NewRider = Make<tav::TButton>("B_NewRider", P_RIDER);
  B_NewRider->OnClick = [this](tav::TControl*) { CreateRider(E_NewRider->Text); };
  B_RiderClose = Make<tav::TButton>("B_RiderClose", P_RIDER);
  B_RiderClose->OnClick = [this](tav::TControl*) { P_RIDER->Hide(); };

  // Settings panel of rider, bike and device values (labels and buttons
  // receive their captions from the text tables).
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
  int y = 8;
  for (tav::TLabel* l : {LUS_1, LUS_2, LED_1, LED_2, LED_5, LED_6, LRB_2, LRB_3, LRB_4, LRB_5,
                         LRB_7, LRB_8, LRB_9, LRB_10, L_GLS, L_ABS}) {
    l->Left = 8;
    l->Top = y;
    y += 20;
  }
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
  y = 8;
  for (tav::TButton* b : {GLS_NOT_OK, ED_OK, ED_NO, B_CL_Trip, B_Nein}) {
    b->SetBounds(196, y, 116, 30);
    y += 36;
  }
  RB_9 = Make<tav::TComboBox>("RB_9", P_SET);
  RB_9->Style = tav::TComboBoxStyle::csDropDownList;
  RB_9->Items = {"Keine", "Schwach", "Normal", "Stark", "Sehr stark"};
  RB_9->SetBounds(320, 8, 140, 21);
  CB_Color = Make<tav::TComboBox>("CB_Color", P_SET);
  CB_Color->Style = tav::TComboBoxStyle::csDropDownList;
  CB_Color->Items = {"Zeichenfläche"_w, "Power", "RPM", "Geschw.", "Puls", "Höhe"_w,
                     "Steigung", "Steigrate", "Gang", "Temperatur", "Hilfslinien",
                     "T/D - Skala", "Intervall", "Läufer/Schwim."_w, "Hintergrund oben",
                     "Hintergrund unten"};
  CB_Color->SetBounds(320, 40, 140, 21);
  P_SET->SetBounds(330, 64, 480, 340);

  Timer1 = MakeTimer("Timer1");
  Timer1->SetInterval(10000);
  Timer1->OnTimer = [this](tav::TTimer*) {
    Timer1->SetEnabled(false);
    ShowPictureMessage("");
  };
  ApplyOwnCaptions();
}

void TForm1::ApplyOwnCaptions() {
  for (const auto& c : kCaptions) {
    tav::TControl* ctl = FindControl(c.name);
    if (ctl == nullptr) continue;
    std::string text = Text3(c.de, c.en, c.es);
    if (auto* l = dynamic_cast<tav::TLabel*>(ctl))
      l->SetCaption(text);
    else
      ctl->Caption = text;
  }
  PB->Subtitle = Text3("Trainingstagebuch für Radfahrer und Läufer",
                       "Training log for cyclists and runners",
                       "Diario de entrenamiento para ciclistas y corredores");
}

void TForm1::LayoutControls() {
  const int cw = ClientWidth(), ch = ClientHeight();
  P_TOP->SetBounds(0, 0, cw, kBandHeight);
  L_Rider->Left = 16;
  L_Rider->AdjustSize();
  L_Rider->Top = (kBandHeight - L_Rider->Height) / 2;
  // Left column of grouped command buttons, two per row.
  const int group_w = 2 * kButtonWidth + kButtonGap + 2 * kGroupPad;
  CB_Rider->SetBounds(std::max(L_Rider->Left + L_Rider->Width + 16, 12 + group_w + 12),
                      (kBandHeight - 24) / 2, 220, 24);

  int y = kBandHeight + 10;
  std::size_t gi = 0;
  for (const auto& g : Groups()) {
    const int rows = static_cast<int>((g.buttons.size() + 1) / 2);
    const int gh = kGroupTitle + rows * (kButtonHeight + kButtonGap) + kGroupPad - kButtonGap + 4;
    group_boxes_[gi]->SetBounds(12, y, group_w, gh);
    for (std::size_t k = 0; k < g.buttons.size(); ++k) {
      tav::TControl* b = FindControl(g.buttons[k]);
      const int col = static_cast<int>(k % 2), row = static_cast<int>(k / 2);
      b->SetBounds(12 + kGroupPad + col * (kButtonWidth + kButtonGap),
                   y + kGroupTitle + row * (kButtonHeight + kButtonGap), kButtonWidth,
                   kButtonHeight);
      b->BringToFront();
    }
    y += gh + 8;
    ++gi;
  }
  SB_Language->SetBounds(cw - 12 - 130, (kBandHeight - kButtonHeight) / 2, 130, kButtonHeight);
  SB_Language->BringToFront();

  // Picture and info memo on the right.
  const int right_x = 12 + group_w + 12;
  const int right_w = std::max(200, cw - right_x - 12);
  const int memo_h = 96;
  const int pb_h = std::max(120, ch - kBandHeight - 10 - memo_h - 8 - 12);
  PB->SetBounds(right_x, kBandHeight + 10 + 6, right_w, pb_h - 6);
  Z_INFO->SetBounds(right_x, PB->Top + PB->Height + 8, right_w, ch - (PB->Top + PB->Height + 8) - 12);

  P_Wait->SetBounds(PB->Left + (PB->Width - 260) / 2, PB->Top + (PB->Height - 60) / 2, 260, 60);
  SB_BRE2->SetBounds(90, 34, 80, 22);
  P_SPR_WAHL->SetBounds(cw - 12 - 230, kBandHeight + 4, 230, 64);
  L_Language->SetBounds(10, 8, 210, 16);
  CB_LG->SetBounds(10, 30, 210, 24);
  P_RIDER->SetBounds(CB_Rider->Left, kBandHeight + 4, 300, 250);
  L_RiderChoice->SetBounds(10, 8, 280, 16);
  LB_Riders->SetBounds(10, 28, 280, 120);
  L_NewRider->SetBounds(10, 158, 280, 16);
  E_NewRider->SetBounds(10, 178, 180, 24);
  B_NewRider->SetBounds(196, 176, 94, 28);
  B_RiderClose->SetBounds(196, 214, 94, 28);
  for (tav::TControl* c : {static_cast<tav::TControl*>(P_SPR_WAHL), static_cast<tav::TControl*>(P_RIDER),
                           static_cast<tav::TControl*>(P_Wait)})
    c->BringToFront();
  PB->Invalidate();

  // The smallest window: the whole button column; beside it the picture
  // with every text of it and a few lines of the memo; in the band the rider
  // line, its box and the language button side by side.
  const int least_memo = 48;
  const int band_w = CB_Rider->Left + CB_Rider->Width + 12 + SB_Language->Width + 12;
  MinClientWidth = std::max({band_w, right_x + PB->NeededWidth() + 12, right_x + P_RIDER->Width + 12});
  MinClientHeight = std::max(y + 4, PB->Top + PB->NeededHeight() + 8 + least_memo + 12);
  KeepMinClientSize();  // a longer rider name or another language may need more
}

// ---------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------

void TForm1::Report(const std::string& text) {
  if (Z_INFO != nullptr) Z_INFO->Lines.Add(text);
}

void TForm1::StartUp() {
  // A trip named relative to the folder the program was started from keeps
  // naming that file once the program folder is the current directory.
  if (!tav::IsBlank(tav::CommandLineTrip)) {
    std::error_code ec;
    const std::filesystem::path abs = std::filesystem::absolute(tav::FsPath(tav::CommandLineTrip), ec);
    if (!ec) tav::CommandLineTrip = tav::PathText(abs.lexically_normal());
  }
  std::vector<std::string> problems;
  tav::StartCore(ProgramFolderText(), &problems);
  EnterProgramFolder();
  // Write the settings at once so a first start leaves a complete folder
  // (a failure is said here, not again by the first activation).
  std::string error;
  if (!tav::SaveSettingsOnActivation(&error) && !error.empty()) problems.push_back(error);
  RebuildRiderList();
  ShowRiderLabel();
  Report("DATA: " + tav::DataDir);
  ReportProblems(problems);
}

void TForm1::ReportProblems(const std::vector<std::string>& problems) {
  if (problems.empty()) return;
  std::string text;
  for (const auto& p : problems) {
    Report(p);
    text += p;
    if (text.empty() || text.back() != '\n') text += '\n';
  }
  tav::Application().MessageBox(text, "tavlog", tav::MB_OK | tav::MB_ICONWARNING);
}

// ---------------------------------------------------------------------------
// Activation and closing
// ---------------------------------------------------------------------------

void TForm1::FormActivate(tav::TControl*) {
  EnterProgramFolder();
  tav::ApplyChosenLanguage();
  if (!tav::IsBlank(tav::CommandLineTrip))
    OpenCommandLineTrip();
  else
    RebuildRiderList();
}

void TForm1::OpenCommandLineTrip() {
  if (Form30 == nullptr || Form30->Visible) return;
  const std::string path = tav::CommandLineTrip;
  std::string problem;
  bool ok = tav::ReadDeoFile(tav::FsPath(path), &problem);
  if (ok && tav::TripSampleCount < 60) {
    ok = false;
    problem = path + "\n" +
              Text3("Die Fahrt ist zu kurz.", "The trip is too short.", "El recorrido es demasiado corto.");
  }
  if (!ok) {
    // A trip that cannot be shown would be tried again on every activation:
    // say why once and forget it.
    tav::CommandLineTrip.clear();
    tav::Application().MessageBox(problem.empty() ? path : problem, "tavlog",
                                  tav::MB_OK | tav::MB_ICONWARNING);
    RebuildRiderList();
    return;
  }
  tav::CurrentTripPath = path;
  tav::ApplyDefaultChannels = 1;
  Form30->Show();
}

void TForm1::FormClose(tav::TControl*, tav::TCloseAction&) {
  Timer1->SetEnabled(false);
  for (tav::TForm* f : std::initializer_list<tav::TForm*>{Form3, Form33, Form4, Form34, Form35, Form40})
    if (f != nullptr && f->Visible) f->Close();
  if (TripListChanged || tav::TripDatabaseChanged) SaveTripList();
}

void TForm1::FormKeyDown(tav::TControl*, tav::WORD& key, tav::TShiftState) {
  if (key != tav::VK_ESCAPE) return;
  // The panel closes as its button does: no language is chosen, no rider
  // chosen or created (a name typed stays in its edit).
  for (tav::TPanel* panel : {P_SPR_WAHL, P_RIDER}) {
    if (!panel->Visible) continue;
    panel->Hide();
    key = 0;
  }
}

// ---------------------------------------------------------------------------
// Trip list
// ---------------------------------------------------------------------------

int TForm1::NextTripNumber() {
  std::string problem;
  const int slot = tav::NextTripNumber(TripList, &problem);
  if (slot < 0 && !problem.empty())
    tav::Application().MessageBox(problem, "tavlog", tav::MB_OK | tav::MB_ICONWARNING);
  return slot;
}

void TForm1::SaveTripList() {
  std::string problem;
  if (tav::SaveTripList(TripList, &problem)) {
    TripListChanged = false;
    return;
  }
  // Keep the flag so closing tries again; tell the user.
  Report(problem);
  tav::Application().MessageBox(problem.empty() ? "Cannot open output file." : problem, "tavlog",
                                tav::MB_OK | tav::MB_ICONERROR);
}

// ---------------------------------------------------------------------------
// Riders
// ---------------------------------------------------------------------------

void TForm1::ShowRiderLabel() {
  std::string label = MsgText[16] + " " + tav::CurrentRiderName;
  if (tav::IsPlaceholderRiderName(tav::CurrentRiderName)) label += "   (" + MsgText[17] + ")";
  L_Rider->SetCaption(label);
  ApplyOwnCaptions();
  // Trips and period on the picture.
  int trips = 0, manual = 0;
  for (const std::string& line : TripList) {
    if (!tav::IsTripLine(line)) continue;
    if (line[13] == 'N' || line[14] == 'R')
      ++manual;
    else
      ++trips;
  }
  std::string detail = Text3("Fahrer: ", "Rider: ", "Ciclista: ") + tav::CurrentRiderName;
  if (tav::IsPlaceholderRiderName(tav::CurrentRiderName)) {
    PB->Detail = detail + "    " +
                 Text3("Fahrer wählen oder anlegen: »Fahrer«", "Choose or create a rider: »Rider«",
                       "Elegir o crear un ciclista: »Ciclista«");
    LayoutControls();
    return;
  }
  detail += "    " + tav::Format("%i ", trips) + Text3("Fahrten", "trips", "recorridos");
  if (manual > 0) detail += tav::Format(", %i ", manual) + Text3("Einträge", "entries", "entradas");
  if (trips + manual > 0) {
    const std::string& first = TripList[0];
    std::string last;
    for (int i = TripList.Count() - 1; i >= 0; --i)
      if (tav::IsTripLine(TripList[i])) {
        last = TripList[i];
        break;
      }
    if (tav::IsTripLine(first) && !last.empty())
      detail += "    " + first.substr(6, 2) + "." + first.substr(4, 2) + "." + first.substr(0, 4) +
                " - " + last.substr(6, 2) + "." + last.substr(4, 2) + "." + last.substr(0, 4);
  }
  PB->Detail = detail;
  LayoutControls();
}

void TForm1::RebuildRiderList() {
  const std::vector<std::string> names = tav::ListRiderFolders();
  CB_Rider->Items.Assign(names);
  LB_Riders->Items.Assign(names);
  int index = -1;
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    if (names[static_cast<std::size_t>(i)] == tav::CurrentRiderName) index = i;
  CB_Rider->Select(index);
  LB_Riders->ItemIndex = index;
}

void TForm1::CB_RiderChange(tav::TControl*) {
  const int i = CB_Rider->ItemIndex;
  if (i >= 0 && i < CB_Rider->Items.Count()) ChooseRider(CB_Rider->Items[i]);
}

void TForm1::SB_UserClick(tav::TControl*) {
  RebuildRiderList();
  P_SPR_WAHL->Hide();
  P_RIDER->Visible = !P_RIDER->Visible;
  if (P_RIDER->Visible) P_RIDER->BringToFront();
}

bool TForm1::ChooseRider(const std::string& name) {
  if (!tav::IsValidRiderName(name)) return false;
  if (name == tav::CurrentRiderName) {
    P_RIDER->Hide();
    return true;
  }
  if (tav::RiderEntryFor(name) < 0) {
    // Every entry of the rider table belongs to another rider: the new one
    // would take over someone else's weight and zones.
    ShowPictureMessage(RiderTableFullText());
    return false;
  }
  if (TripListChanged || tav::TripDatabaseChanged) SaveTripList();
  std::string message;
  if (!tav::OpenRider(name, &message)) {
    ShowPictureMessage(message);
    RebuildRiderList();
    return false;
  }
  SelectedTrips.Clear();
  ScanList = &SelectedTrips;
  std::vector<std::string> problems;
  if (!message.empty()) problems.push_back(message);
  std::string error;
  if (!tav::SetupRiderPaths(&error) && !error.empty()) problems.push_back(error);
  error.clear();
  if (!tav::SaveSettings(&error) && !error.empty()) problems.push_back(error);
  RebuildRiderList();
  ShowRiderLabel();
  P_RIDER->Hide();
  ReportProblems(problems);
  return true;
}

bool TForm1::CreateRider(const std::string& typed) {
  std::string name = tav::UpperCp1252(tav::StripArgumentQuotes(typed));
  if (!tav::IsValidRiderName(name) || tav::IsPlaceholderRiderName(name)) {
    ShowPictureMessage(Text3("Ungültiger Fahrername", "Invalid rider name",
                             "Nombre de ciclista no válido"));
    return false;
  }
  if (tav::RiderEntryFor(name) < 0) {
    ShowPictureMessage(RiderTableFullText());
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(tav::FsPath(tav::JoinPath(tav::DataDir, name)), ec);
  if (ec) {
    ShowPictureMessage(Text3("Ordner lässt sich nicht anlegen", "Cannot create the folder",
                             "No se puede crear la carpeta"));
    return false;
  }
  E_NewRider->Text.clear();
  return ChooseRider(name);
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void TForm1::ShowPictureMessage(const std::string& text) {
  PB->Message = text;
  PB->Invalidate();
  Timer1->SetEnabled(false);
  if (!text.empty()) Timer1->SetEnabled(true);
}

void TForm1::SB_DBClick(tav::TControl*) {
  P_SPR_WAHL->Hide();
  P_RIDER->Hide();
  Form3->Tag = 1;
  Form3->Show();
}

void TForm1::SB_KALClick(tav::TControl*) {
  if (tav::CurrentRiderName.find("RIDER_") != std::string::npos) {
    if (!P_RIDER->Visible) SB_UserClick(SB_User);
    return;
  }
  if (TripList.Count() == 0 || !tav::IsTripLine(TripList[0])) {
    ShowPictureMessage(MsgText[24]);
    return;
  }
  if (!Form3->WasActivated || tav::DiarySorted != 0) {
    // One pass of the diary brings its rows back to list order; the date
    // index the calendar reads follows the list.
    Form3->Show();
    Form3->Close();
    tav::BuildTripDateIndex();
  }
  SB_KAL->Tag = 1;
  Form33->Show();
}

void TForm1::SB_CAL_NEWClick(tav::TControl*) {
  Form33->Show();
  Form33->DO_1Click(SB_CAL_NEW);
}

void TForm1::SB_G6Click(tav::TControl*) {
  Form35->Tag = 5;
  Form35->Show();
}

void TForm1::SB_DEF_MAILClick() {
  Form80->SetBounds(PB->Left + Left - 1, PB->Top + Top + Height - ClientHeight() - 3,
                    PB->Width + 6, PB->Height + 6);
  Form80->Tag = 10;
  Form80->ShowModal();
}

void TForm1::SB_DEOClick(tav::TControl*) {
  Form3->SB_DEO_CSV->Tag = 0;
  Form3->SB_DEO_CSV->Show();
  SB_DBClick(SB_DEO);
}

void TForm1::SB_TO_COLClick(tav::TControl*) {
  Form3->SB_COLLEC->Tag = 0;
  Form3->SB_COLLEC->Show();
  SB_DBClick(SB_TO_COL);
}

void TForm1::SB_DEO_DEOClick(tav::TControl*) {
  Form3->SB_DEO_DEO->Tag = 0;
  Form3->SB_DEO_DEO->Show();
  SB_DBClick(SB_DEO_DEO);
}

namespace tav {

void ListTripFiles() {
  if (Form1 == nullptr || Form80 == nullptr) return;
  Form1->Z_INFO->Clear();
  Form80->Display_Files->Clear();
  for (const std::string& path : ListTripFilePaths(SelectedTrips)) {
    Form1->Z_INFO->Lines.Add(path);
    Form80->Display_Files->Lines.Add(path);
  }
  Form80->Tag = 20;
  Form80->ShowModal();
}

}  // namespace tav

void TForm1::SB_LanguageClick(tav::TControl*) {
  P_RIDER->Hide();
  CB_LG->Select(tav::LanguageIndex == 0 ? 0 : tav::LanguageIndex == 2 ? 2 : 1);
  P_SPR_WAHL->Visible = !P_SPR_WAHL->Visible;
  if (P_SPR_WAHL->Visible) P_SPR_WAHL->BringToFront();
}

void TForm1::CB_LGChange(tav::TControl*) {
  const int i = CB_LG->ItemIndex;
  if (i < 0 || i > 2) return;
  tav::LanguageIndex = static_cast<uint8_t>(i);
  tav::ApplyChosenLanguage();
}

// ---- Asked and opened by other windows -------------------------------------------

namespace tav {

std::optional<WindowPlace> MainPlace() {
  if (Form1 == nullptr) return std::nullopt;
  return WindowPlace{Form1->Left, Form1->Top, Form1->Width, Form1->Height};
}

std::optional<WindowPlace> MainPicturePlace() {
  if (Form1 == nullptr) return std::nullopt;
  return WindowPlace{0, 0, Form1->PB->Width, Form1->PB->Height};
}

std::string MainWeightTitle() {
  return Form1 != nullptr && Form1->LUS_1 != nullptr ? Form1->LUS_1->Caption : " kg";
}

TStringList* MainInfoLines() {
  return Form1 != nullptr && Form1->Z_INFO != nullptr ? &Form1->Z_INFO->Lines : nullptr;
}

bool CalendarAskedByMain() { return Form1 != nullptr && Form1->SB_KAL->Tag != 0; }

void CalendarAskAnswered() {
  if (Form1 != nullptr) Form1->SB_KAL->Tag = 0;
}

bool OpenCalendarFromMain() {
  if (Form1 == nullptr) return false;
  Form1->SB_KALClick(Form1->SB_KAL);
  return true;
}

void OpenMailSettings() {
  if (Form1 != nullptr) Form1->SB_DEF_MAILClick();
}

}  // namespace tav
