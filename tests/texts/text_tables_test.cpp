// The language tables over every window: each language alone and switched
// (kept and untouched targets), the exact bytes of the hardest texts in the
// dump, combo items, repeated application and the shared labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_common.h"
#include "core/core_data.h"
#include "core/core_test_util.h"
#include "platform/canvas.h"
#include "platform/text.h"
#include "texts/text_tables.h"
#include "analysis/overview_charts.h"
#include "top/forms.h"
#include "diary/diary_window.h"
#include "top/main_window.h"

namespace fs = std::filesystem;
using namespace tav::literals;
using tav::TextLanguage;

namespace {

constexpr TextLanguage de = tav::kGermanTexts, en = tav::kEnglishTexts, es = tav::kSpanishTexts;

class TextTables : public tav::testing_core::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    tav::CreateAllForms();
  }
  void TearDown() override {
    tav::DestroyAllForms();
    TempFolderTest::TearDown();
  }
  // Fresh windows with the tables of `run` applied in order.
  static void Restart(const std::vector<TextLanguage>& run) {
    tav::DestroyAllForms();
    tav::ResetCoreData();
    tav::CreateAllForms();
    for (TextLanguage l : run) tav::ApplyLanguage(l);
  }
};

// The dump line of a target ("TForm30\tH\tSB_POCP\t-1\t"), with its text.
std::string DumpLine(const std::string& dump, const std::string& target) {
  const std::size_t at = dump.find("\n" + target);
  if (at == std::string::npos) return "no line for " + target;
  return dump.substr(at + 1 + target.size(), dump.find('\n', at + 1) - at - 1 - target.size());
}

TEST_F(TextTables, EveryTargetHoldsTheTextOfTheLastTableThatSetsIt) {
  std::vector<std::optional<std::string>> design;
  for (const tav::TextRow& row : tav::TextRows()) design.push_back(tav::ReadTextTarget(row));
  const std::vector<std::vector<TextLanguage>> runs = {{de}, {en}, {es}, {de, en}, {de, es},
                                                       {en, es}, {es, de}, {de, en, es}};
  for (const auto& run : runs) {
    Restart(run);
    std::size_t i = 0;
    for (const tav::TextRow& row : tav::TextRows()) {
      std::optional<std::string> expected = design[i++];
      if (!expected) continue;  // a target the windows lack (see the dump test)
      for (TextLanguage l : run)
        if (row.text[l]) expected = std::string(*row.text[l]);
      EXPECT_EQ(tav::ReadTextTarget(row), expected)
          << row.window << " " << row.name << " " << row.index << " after " << run.size() << " tables";
    }
  }
}

TEST_F(TextTables, DumpShowsTheExactBytesOfTheHardestTexts) {
  struct Case {
    std::vector<TextLanguage> run;
    const char* target;
    const char* text;
  };
  const Case cases[] = {
      {{de}, "TForm30\tH\tSB_POCP\t-1\t",
       "\"Theor.Power(Rechte Maustaste\\n +Strg GR-Daten einstellten\\n +Shift komplette Fahrt)\""},
      {{de}, "TForm50\tM\tUiText\t16\t", "\"Fehler beim Flash schreiben                       \""},
      {{de}, "TForm1\tC\tED_OK\t-1\t", "\"\\xDCbernehmen \\n+ Speichern\""},
      {{de}, "TForm3\tH\tSB_SOZA\t-1\t", "\"Sortierte Auf \\x96 bzw Abw\\xE4rts (Rechte Maustaste)\""},
      {{de}, "TForm33\tM\tUiText\t12\t", "\"TSS\\x99           IF\\x99\""},
      {{de}, "TForm3\tH\tSB_STAT\t-1\t",
       "\"Statistik in Zahlen + Grafik (f\\xFCr markierte Fahrten)\\nRechtsClick\""},
      {{en}, "TForm33\tM\tUiText\t2\t", "\"Tuseday\""},
      {{en}, "TForm16\tM\tUiText\t6\t", "\"heartrate changes (?\?\?)\""},
      {{en}, "TForm80\tS\tMsgHostError\t-1\t", "\"Wrong smpt host \""},
      {{en}, "TForm80\tS\tMsgMailSent\t-1\t", "\"Mail was sending \""},
      {{en}, "\tL\tLangLabels\t10\t", "\"Analyze of %s to %s\""},
      {{es}, "TForm3\tH\tSB_GD\t-1\t", "\"Analizar gradiente con potencia, pulso, \\x85..\""},
      {{es}, "TForm8\tM\tUiText\t1\t", "\"Pulso     Tiempo\""},
      {{es}, "TForm7\tF\t\t-1\t", "\"Fecha/hora\""},
      {{es}, "TForm30\tC\tSB_GRUND\t-1\t", "\"Einstellungen als Standart \\xFC" "bernehmen\""},
      {{es}, "TForm1\tI\tCB_Color\t13\t", "\"Carrera/nataci\\xF3n\""},
      {{es}, "\tL\tLangLabels\t2\t", "\"Diferencial de alturas\""},
      // Kept from the table before: hints the Spanish and English tables leave alone.
      {{de, en, es}, "TForm30\tM\tUiText\t16\t", "\"Start XX interval\""},
      {{de, en, es}, "TForm31\tH\tSB_ST\t-1\t", "\"Compare rate of climb\""},
      {{de, en, es}, "TForm1\tH\tSB_KILLTRIP\t-1\t", "\"Alle Fahrten im tavrik l\\xF6schen\""},
      {{en, es}, "TForm1\tC\tL_GLS\t-1\t", "\"Input in\""},
  };
  for (const Case& c : cases) {
    Restart(c.run);
    EXPECT_EQ(DumpLine("\n" + tav::DumpTextTargets(), c.target), c.text) << c.target;
  }
}

TEST_F(TextTables, EveryTargetOfTheTablesExistsInItsWindow) {
  const std::string dump = tav::DumpTextTargets();
  EXPECT_EQ(dump.find("MISSING"), std::string::npos) << dump;
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), static_cast<long>(tav::TextRows().size()));
}

TEST_F(TextTables, CountsRepeatsAndTheLanguageIndex) {
  // Targets per table, a second application writes nothing, and the
  // language index picks: 0 German, 2 Spanish, anything else English.
  std::size_t set[3] = {};
  for (const tav::TextRow& row : tav::TextRows())
    for (int l = 0; l < 3; ++l) set[l] += row.text[l].has_value();
  EXPECT_EQ(set[de], 485u);
  EXPECT_EQ(set[en], 477u);
  EXPECT_EQ(set[es], 472u);
  EXPECT_GT(tav::ApplyLanguage(es), 0);
  EXPECT_EQ(tav::ApplyLanguage(es), 0);
  const struct { int index; const char* hint; } picks[] = {
      {0, "Tagebuch \xF6" "ffnen"}, {1, "Open daybook"}, {2, "Abrir diario"}, {7, "Open daybook"}};
  for (const auto& p : picks) {
    tav::ApplyTextTable(p.index);
    EXPECT_EQ(Form1->SB_DB->Hint, p.hint) << p.index;
  }
}

TEST_F(TextTables, ComboItemsAreReplacedInPlace) {
  int changes = 0;
  Form1->CB_Color->OnChange = [&](tav::TControl*) { ++changes; };
  Form1->CB_Color->Select(13);
  for (TextLanguage l : {es, de, en}) {
    tav::ApplyLanguage(l);
    EXPECT_EQ(Form1->CB_Color->Items.Count(), 16);
    EXPECT_EQ(Form1->RB_9->Items.Count(), 5);
    EXPECT_EQ(Form1->CB_Color->ItemIndex, 13);
    EXPECT_EQ(Form1->CB_Color->Text, Form1->CB_Color->Items[13]);
  }
  EXPECT_EQ(Form1->CB_Color->Text, "Runner/swimmer");
  EXPECT_EQ(changes, 0);
}

TEST_F(TextTables, SharedLabelsAreBoundedCopiesAndTheCaptionFormatIsFilledSafely) {
  tav::ApplyLanguage(es);
  EXPECT_EQ(tav::LangLabels[9], "");
  EXPECT_EQ(tav::LangLabels[11], "");
  EXPECT_EQ(tav::SpanCaption("01.03.2024", "%s %n"), "An\xE1lisis de 01.03.2024 a %s %n");
  const tav::TextRow long_label{"", tav::TextKind::kLabel, "LangLabels", 4, {}, {}, {}};
  EXPECT_TRUE(tav::WriteTextTarget(long_label, std::string(60, 'x') + "%s%n"));
  EXPECT_EQ(tav::LangLabels[4], std::string(tav::kLangLabelChars, 'x'));
}

TEST_F(TextTables, CaptionsFitTheirControlsInEveryLanguage) {
  // Room a control needs beside its text: button borders, radio and check marks.
  auto padding = [](tav::TControlKind kind) {
    switch (kind) {
      case tav::TControlKind::Button: return 8;
      case tav::TControlKind::SpeedButton: return 4;
      case tav::TControlKind::RadioButton:
      case tav::TControlKind::CheckBox: return 20;
      default: return 0;
    }
  };
  for (TextLanguage l : {de, en, es}) {
    tav::ApplyLanguage(l);
    for (const tav::TextRow& row : tav::TextRows()) {
      if (row.kind != tav::TextKind::kCaption) continue;
      tav::TControl* c = nullptr;
      for (tav::TForm* f : tav::Application().Forms())
        if ("T" + f->Name == row.window) c = f->FindControl(std::string(row.name));
      if (c == nullptr) continue;
      if (auto* label = dynamic_cast<tav::TLabel*>(c); label != nullptr && label->AutoSize) continue;
      const tav::TPoint text = tav::MeasureText(c->Font, c->Caption);
      EXPECT_LE(text.X + padding(c->Kind()), c->Width) << row.window << " " << row.name << " " << l;
      EXPECT_LE(text.Y, c->Height) << row.window << " " << row.name << " " << l;
    }
  }
}

}  // namespace

namespace {

// The program's own rows: every target exists, each language writes its
// text whichever language came before.
TEST_F(TextTables, ProgramRowsFollowEachLanguageAndFit) {
  const std::vector<std::vector<TextLanguage>> runs = {{de}, {en}, {es}, {en, de}, {de, es}, {es, en}};
  for (const auto& run : runs) {
    Restart(run);
    for (const tav::TextRow& row : tav::ProgramTextRows()) {
      const std::optional<std::string> now = tav::ReadTextTarget(row);
      ASSERT_TRUE(now.has_value()) << row.window << " " << row.name << ": no such target";
      ASSERT_TRUE(row.text[run.back()].has_value()) << row.window << " " << row.name;
      EXPECT_EQ(*now, std::string(*row.text[run.back()])) << row.window << " " << row.name;
    }
  }
  // Every caption differs between at least two languages, or is a word all
  // three share; the German and English buttons of the heart-rate views and
  // the time-above window differ.
  for (const tav::TextRow& row : tav::ProgramTextRows()) {
    if (row.kind == tav::TextKind::kHint || row.kind == tav::TextKind::kFormCaption) continue;
    EXPECT_FALSE(*row.text[de] == *row.text[en] && *row.text[en] == *row.text[es] && row.name != "SB_04")
        << row.window << " " << row.name;
  }
}

}  // namespace

namespace {

// A command this program does not offer says so in its hint, in the language
// chosen last; a command it offers, and one that is only disabled for the
// moment (the diary's delete before a row is picked), does not.
TEST_F(TextTables, DisabledCommandsSayTheyAreNotAvailableInEveryLanguage) {
  struct Expect {
    const char* window;
    const char* control;
    const char* shown[3];  // German, English, Spanish
  };
  const Expect expects[] = {
      {"TForm1", "SB_GLS",
       {"Trainingsbereiche definieren\nIn diesem Programm nicht verf\xFC" "gbar.",
        "Define training parts\nNot available in this program.",
        "Definir partes del entrenamiento\nNo disponible en este programa."}},
      {"TForm30", "SB_DA",
       {"Daten als Tabelle zeigen\nIn diesem Programm nicht verf\xFC" "gbar.",
        "Show data as table\nNot available in this program.",
        "Mostrar tabla de datos\nNo disponible en este programa."}},
      {"TForm40", "SB_ED1",
       {"Einzeldaten \xE4ndern\nIn diesem Programm nicht verf\xFC" "gbar.",
        "Change single cell\nNot available in this program.",
        "Cambiar una sola celda\nNo disponible en este programa."}},
      {"TForm40", "B_CL_Trip",
       {"In diesem Programm nicht verf\xFC" "gbar.", "Not available in this program.",
        "No disponible en este programa."}},
      {"TForm1", "SB_DB", {"Tagebuch \xF6" "ffnen", "Open daybook", "Abrir diario"}},
      {"TForm30", "SB_AW", {"Auswertung Gesamtstrecke", "Summary ride", "Resumen del recorrido"}},
      {"TForm3", "SB_TRIP_KILL", {"Fahrt aus der Liste l\xF6schen", "Delete trip", "Borrar viaje"}},
  };
  const std::vector<std::vector<TextLanguage>> runs = {{de}, {en}, {es}, {es, de}, {de, en}, {en, es}};
  for (const auto& run : runs) {
    Restart(run);
    Form3->SB_TRIP_KILL->Enabled = false;
    for (const Expect& e : expects) {
      tav::TControl* c = tav::TextWindow(e.window)->FindControl(e.control);
      ASSERT_NE(c, nullptr) << e.control;
      EXPECT_EQ(c->ShownHint(), e.shown[run.back()]) << e.window << " " << e.control << " " << run.back();
    }
  }
}

// Every command listed as not offered exists and is disabled, and every
// button the main window, the trip views and the sample table show disabled
// from the start is listed: none is left without the note.
TEST_F(TextTables, EveryCommandShownDisabledForGoodCarriesTheNote) {
  tav::ApplyLanguage(en);
  for (const tav::TextRow& row : tav::NotOfferedRows()) {
    const tav::TControl* c = tav::TextWindow(row.window)->FindControl(std::string(row.name));
    ASSERT_NE(c, nullptr) << row.window << " " << row.name;
    EXPECT_FALSE(c->Enabled) << row.window << " " << row.name;
  }
  for (const char* window : {"TForm1", "TForm30", "TForm31", "TForm40"}) {
    tav::TForm* form = tav::TextWindow(window);
    for (const auto& owned : form->Controls()) {
      const tav::TControl* c = owned.get();
      const bool button = c->Kind() == tav::TControlKind::SpeedButton || c->Kind() == tav::TControlKind::Button;
      bool shown = c->Visible;
      for (const tav::TControl* p = c->Parent; p != nullptr && p != form; p = p->Parent) shown = shown && p->Visible;
      if (!button || !shown || c->Enabled) continue;
      const std::string hint = c->ShownHint();
      EXPECT_TRUE(hint.ends_with("Not available in this program.")) << window << " " << c->Name << ": " << hint;
    }
  }
}

// Texts the windows add beyond the tables, each read where the user sees
// it, after every language in turn (each after another one).
TEST_F(TextTables, TheWindowsOwnWordsFollowEachLanguage) {
  struct Row {
    const char* form;
    const char* control;
    bool hint;  // else the caption
    const char* text[3];  // German, English, Spanish (Windows-1252)
  };
  const Row rows[] = {
      {"Form3", "SB_AW", false, {"Summe", "Sum", "Suma"}},
      {"Form3", "SB_STA2", false, {"Zone", "Zones", "Zonas"}},
      {"Form3", "SB_TRIP_KILL", false, {"Entf", "Del", "Supr"}},
      {"Form33", "SB_G6", false, {"Charts", "Charts", "Gr\xE1" "ficos"}},
      {"Form33", "DO_1", true, {"Zeilen der Tage w\xE4hlen", "Choose the lines of the days",
                                "Elegir las l\xEDneas de los d\xED" "as"}},
      {"Form4", "TM_Label", false, {"TSS\x99, IF\x99 und NP\x99 sind Marken ihrer jeweiligen Inhaber.",
                                    "TSS\x99, IF\x99 and NP\x99 are trademarks of their respective owners.",
                                    "TSS\x99, IF\x99 y NP\x99 son marcas de sus respectivos propietarios."}},
      {"Form4", "SB_AWZ", true, {"Zusammenfassung", "Summary", "Resumen"}},
      {"Form4", "SB_SGRAF", true, {"NP, Puls, TSS, IF", "NP, HR, TSS, IF", "NP, pulso, TSS, IF"}},
      {"Form4", "SB_Po_Gew", true, {"Power / Gewicht", "Power / weight", "Potencia / peso"}},
      {"Form1", "CB_Rider", true, {"Fahrer w\xE4hlen", "Choose the rider", "Elegir ciclista"}},
      {"Form52", "SB_PRS", true, {"Power/RPM/Geschw.", "Power/RPM/Speed", "Potencia/RPM/Velocidad"}},
      {"Form52", "SB_PR", true, {"Drehmoment/RPM", "Torque/RPM", "Par/RPM"}},
      {"Form200", "B_NO", false, {"Abbrechen", "Cancel", "Cancelar"}},
      {"Form10", "SB_MOVE", true, {"Verschieben", "Move", "Mover"}},
      {"Form30", "SB_KAL", true, {"Kalender", "Calendar", "Calendario"}},
  };
  auto control = [](const char* form, const char* name) -> tav::TControl* {
    for (tav::TForm* f : tav::Application().Forms())
      if (f->Name == form) return f->FindControl(name);
    return nullptr;
  };
  for (int index : {2, 0, 1, 2, 1, 0}) {  // language index: 0 German, 1 English, 2 Spanish
    tav::ApplyTextTable(index);
    for (const Row& r : rows) {
      tav::TControl* c = control(r.form, r.control);
      ASSERT_NE(c, nullptr) << r.form << " " << r.control;
      EXPECT_EQ(r.hint ? c->Hint : c->Caption, r.text[index]) << r.form << " " << r.control << " " << index;
    }
    // The overview's chart choice.
    const char* const third_chart[3] = {"Diagramm 3", "Chart 3", "Gr\xE1" "fico 3"};
    EXPECT_EQ(Form35->CB_G6_1->Items[2], third_chart[index]) << index;
  }
}

// No caption of the program's own rows is wider than its control in any
// language.
TEST_F(TextTables, TheWindowsOwnCaptionsFitTheirControls) {
  for (TextLanguage l : {de, en, es}) {
    tav::ApplyLanguage(l);
    for (const tav::TextRow& row : tav::ProgramTextRows()) {
      if (row.kind != tav::TextKind::kCaption) continue;
      tav::TControl* c = nullptr;
      for (tav::TForm* f : tav::Application().Forms())
        if ("T" + f->Name == row.window) c = f->FindControl(std::string(row.name));
      ASSERT_NE(c, nullptr) << row.window << " " << row.name;
      if (auto* label = dynamic_cast<tav::TLabel*>(c); label != nullptr && label->AutoSize) continue;
      const tav::TPoint text = tav::MeasureText(c->Font, c->Caption);
      EXPECT_LE(text.X, c->Width) << row.window << " " << row.name << " " << l;
    }
  }
}

}  // namespace
