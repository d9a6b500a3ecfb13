// The texts the windows show after each language, read where the user sees
// them (a control's caption or hint, a window's text member, a combo item, a
// shared label), against texts written out by hand: the whole mail window,
// a sample of every other window, and how many targets of each kind each
// language sets in each window, and which targets a language leaves alone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "mail/mail_form.h"
#include "platform/controls.h"
#include "texts/text_tables.h"
#include "top/forms.h"

namespace {

using tav::TextLanguage;

class WindowTexts : public tav::testing_core::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    tav::CreateAllForms();
  }
  void TearDown() override {
    tav::DestroyAllForms();
    TempFolderTest::TearDown();
  }
};

// Where a text is shown: 'C' a control's caption, 'H' its hint, 'M' entry
// `index` of a window's run of text members, 'I' item `index` of a combo
// box, 'L' shared label `index`, 'F' the window's own caption.
struct Shown {
  const char* window;
  char kind;
  const char* name;
  int index;
  const char* text[3];  // German, English, Spanish (Windows-1252)
};

std::string Read(const Shown& s) {
  if (s.kind == 'L') return tav::LangLabels[static_cast<std::size_t>(s.index)];
  tav::TForm* form = tav::TextWindow(s.window);
  if (form == nullptr) return "(no window)";
  if (s.kind == 'F') return form->Caption;
  if (s.kind == 'M') {
    const std::string* text = tav::WindowText(s.window, s.name, s.index);
    return text != nullptr ? *text : "(no member)";
  }
  tav::TControl* c = form->FindControl(s.name);
  if (c == nullptr) return "(no control)";
  if (s.kind == 'C') return c->Caption;
  if (s.kind == 'H') return c->Hint;
  auto* combo = dynamic_cast<tav::TComboBox*>(c);
  if (combo == nullptr || s.index >= combo->Items.Count()) return "(no item)";
  return combo->Items[s.index];
}

// The mail window, every text in every language, read from its own members.
TEST_F(WindowTexts, TheMailWindowInEachLanguage) {
  struct Text {
    std::string TForm80::*member;
    const char* text[3];
  };
  const Text members[] = {
      {&TForm80::MsgBadAccount, {"Falsches Konto oder Passwort", "Wrong account or password",
                                 "Contrase\xF1" "a o cuenta equivocada"}},
      {&TForm80::MsgOffline, {"Sie m\xFCssen Online sein um Mails zu verschicken", "You have to be online to send mails",
                              "Debe de estar en l\xEDnea para enviar email"}},
      {&TForm80::MsgHostError, {"Fehler bei der Hosteinstellung", "Wrong smpt host ", "Servidor de SMTP incorrecto"}},
      {&TForm80::MsgMailSent, {"Ihre Mail wurde erfolgreich abgeschickt", "Mail was sending ",
                               "El email fue enviado correctamente"}},
      {&TForm80::MsgGaveUp, {"nach 4 Fehlversuchen, wurde abgebrochen", "Last 4 attempts failed, process canceled",
                             "Los \xFAltimos 4 intentos fallaron, se cancelo el proceso"}},
  };
  struct Control {
    tav::TControl* TForm80::*control;
    bool hint;
    const char* text[3];
  };
  auto C = [](auto member) { return reinterpret_cast<tav::TControl* TForm80::*>(member); };
  const Control controls[] = {
      {C(&TForm80::L_SMTP), false, {"SMTP Host", "SMTP Host", "Servidor de SMTP"}},
      {C(&TForm80::L_Port), false, {"Port", "Port", "Puerto"}},
      {C(&TForm80::L_Konto), false, {"Kontoname", "Name of account", "Nombre de la cuenta"}},
      {C(&TForm80::L_PWort), false, {"Passwort", "Password", "Contrase\xF1" "a"}},
      {C(&TForm80::L_Absender), false, {"Absender", "Sender", "Remitente"}},
      {C(&TForm80::L_Nach_1), false, {"Zu wem", "To", "Destinatario"}},
      {C(&TForm80::L_Nach_2), false, {"Zu wem", "To", "Destinatario"}},
      {C(&TForm80::L_Sign), false, {"Signum", "Signum", "Firma"}},
      {C(&TForm80::L_Betreff_1), false, {"Betreff", "Subject", "Asunto"}},
      {C(&TForm80::L_Betreff_2), false, {"Betreff", "Subject", "Asunto"}},
      {C(&TForm80::SET_Mail_OK), false, {"\xDC" "bernehmen", "Accept", "Aceptar"}},
      {C(&TForm80::SET_Mail_No), false, {"Abbrechen", "Cancel", "Cancelar"}},
      {C(&TForm80::B_Send), false, {"Send Mail", "Send Mail", "Enviar email"}},
      {C(&TForm80::B_Break), false, {"Beenden", "Exit", "Salir"}},
      {C(&TForm80::HostEdit), true, {"Mailserver Hostname oder IP Addresse", "Mail server hostname or IP address",
                                     "Nombre del servidor de correo o direcci\xF3n IP"}},
      {C(&TForm80::PortEdit), true, {"\xFC" "ber welchen Port soll gesendet werden", "Mail server port (should be smtp)",
                                     "Puerto del servidor de correo (debe de ser smtp)"}},
      {C(&TForm80::FromEdit), true, {"E-Mailadresse des Absenders", "Sender mail address", "Email del remitente"}},
      {C(&TForm80::ToEdit), true, {"E-Mailadressen der Empf\xE4nger", "Mail addresses", "Direcci\xF3n de email"}},
      {C(&TForm80::CB_Adr), true, {"E-Mailadressen der Empf\xE4nger", "Mail addresses", "Direcci\xF3n de email"}},
      {C(&TForm80::SubjectEdit), true, {"Text f\xFCr die Betreffzeile", "Message subject", "Asunto del mensaje"}},
      {C(&TForm80::SignOnEdit), true, {"Name des Absenders", "Signum message for the HELLO command",
                                       "Firma para el comando HELLo"}},
      {C(&TForm80::KW_Edit), true, {"Kontoname f\xFCr Mailserver", "Account name", "Nombre de la cuenta"}},
      {C(&TForm80::PW_Edit), true, {"Passwort f\xFCr Mailserver", "PASSWORD", "Contrase\xF1" "a"}},
  };
  for (int index : {2, 0, 1, 0, 2, 1}) {  // each language after each other one
    tav::ApplyTextTable(index);
    for (const Text& t : members) EXPECT_EQ(Form80->*t.member, t.text[index]) << index;
    for (const Control& c : controls) {
      const tav::TControl* control = Form80->*c.control;
      EXPECT_EQ(c.hint ? control->Hint : control->Caption, c.text[index]) << control->Name << " " << index;
    }
  }
}

// A sample of every window's texts after each language (each language
// after another one), including the targets a language leaves alone.
TEST_F(WindowTexts, ASampleOfEveryWindowInEachLanguage) {
  const Shown shown[] = {
      {"", 'L', "", 0, {"Zeit", "Time", "Tiempo"}},
      {"", 'L', "", 1, {"Strecke", "Distance", "Distancia"}},
      {"", 'L', "", 2, {"H\xF6henmeter", "Altitude difference", "Diferencial de alturas"}},
      {"", 'L', "", 3, {"H\xF6he", "Altitude", "Altitud"}},
      {"", 'L', "", 4, {"Arbeit", "Work", "Trabajo"}},
      {"", 'L', "", 5, {"Puls", "HR", "Pulso"}},
      {"", 'L', "", 6, {"Durchschn.", "Average", "Promedio"}},
      {"", 'L', "", 7, {"Gesamtstrecke", "Total distance", "Distancia total"}},
      {"", 'L', "", 8, {"Teilstrecke", "Select distance", "Seleccionar distancia"}},
      {"", 'L', "", 9, {"", "", ""}},
      {"", 'L', "", 10, {"Auswertung vom %s bis %s", "Analyze of %s to %s", "An\xE1lisis de %s a %s"}},
      {"", 'L', "", 11, {"", "", ""}},
      {"TForm3", 'M', "UiText", 3, {"Dauer", "Time", "Tiempo"}},
      {"TForm3", 'M', "UiText", 4, {"Strecke", "Distance", "Distancia"}},
      {"TForm3", 'M', "UiText", 28, {"Datums selektive Auswahl", "Selective", "Selective"}},
      {"TForm3", 'H', "SB_STAT", -1,
       {"Statistik in Zahlen + Grafik (f\xFCr markierte Fahrten)\nRechtsClick",
        "Statistic in data + graphic (for marked rides)\nright click",
        "Estad\xEDsticas datos + gr\xE1" "fica (para los recorridos seleccionados\nderecho)"}},
      {"TForm33", 'M', "UiText", 6, {"Samstag", "Saturday", "S\xE1" "bado"}},
      {"TForm33", 'M', "UiText", 3, {"Mittwoch", "Wednesday", "Mi\xE9rcoles"}},
      {"TForm33", 'C', "Cal_OK", -1, {"\xDC" "bernehmen", "Accept", "Aceptar"}},
      {"TForm33", 'H', "SB_G6", -1, {"Charts anzeigen", "Show charts", "Mostrar tablas"}},
      {"TForm4", 'M', "UiText", 3, {"Zeitanteile in %", "Portion in %", "Porciones en porcentajes"}},
      {"TForm4", 'M', "UiText", 8,
       {"Trainingsbereiche Zeitanteile", "training zones portion", "Porcentaje de zonas de entrenamiento"}},
      {"TForm4", 'M', "UiText", 13, {"H\xF6hengl\xE4ttung", "alt correction", "alt correction"}},
      {"TForm4", 'H', "SB_STAT", -1, {"Zur\xFC" "ck zum Tagebuch", "Back to diary", "Regresar al diario"}},
      {"TForm56", 'M', "UiText", 0, {"Fahrten", "Trips", "Recorridos"}},
      {"TForm56", 'M', "UiText", 1, {"Gesamtzeit", "Total time", "Tiempo total"}},
      {"TForm1", 'I', "RB_9", 0, {"Keine", "None", "Ninguna"}},
      {"TForm1", 'I', "RB_9", 1, {"Schwach", "Low", "Baja "}},
      {"TForm1", 'I', "RB_9", 4, {"Sehr stark", "Very strong", "Muy fuerte"}},
      {"TForm1", 'I', "CB_Color", 13, {"L\xE4ufer/Schwim.", "Runner/swimmer", "Carrera/nataci\xF3n"}},
      {"TForm1", 'H', "SB_DB", -1, {"Tagebuch \xF6" "ffnen", "Open daybook", "Abrir diario"}},
      {"TForm1", 'M', "MsgText", 3,
       {"und wiederholen Sie die COM-Suche", "and repeat interface test", "y repetir prueba de interfase"}},
      {"TForm1", 'C', "ED_OK", -1, {"\xDC" "bernehmen \n+ Speichern", "Accept + save", "Aceptar + guardar"}},
      {"TForm7", 'C', "LED_1", -1, {"Datum", "Date", "Fecha "}},
      {"TForm7", 'C', "ED_OK", -1, {"\xDC" "bernehmen", "Accept", "Aceptar"}},
      {"TForm400", 'C', "L_U3", -1, {"Reibungsbeiwert", "Friction coefficient", "Fricacion-Valor"}},
      {"TForm400", 'C', "L_U21", -1, {"Fahrer", "Rider", "Ciclista"}},
      {"TForm30", 'M', "UiText", 3, {"Puls", "HR", "Pulso"}},
      {"TForm30", 'M', "UiText", 5, {"Steigung", "Gradient", "Gradiente"}},
      {"TForm30", 'C', "SB_GRUND", -1,
       {"Einstellungen als Standart \xFC" "bernehmen", "Apply settings as default",
        "Einstellungen als Standart \xFC" "bernehmen"}},
      {"TForm30", 'H', "SB_LZ", -1, {"Zahlenlupe", nullptr, nullptr}},
      {"TForm30", 'H', "SB_PR", -1,
       {"Torque [Nm]/Rechtsklick Rechts-Links Verteilung", "torque [Nm]/right click % Power right", nullptr}},
      {"TForm31", 'C', "BU_OK", -1, {"\xDC" "bernehmen", "Accept", "Aceptar"}},
      {"TForm31", 'H', "SB_RM", -1, {"RPM   vergleichen", "Compare RPM", "Comparar RPM"}},
      {"TForm40", 'C', "B_CL_Trip", -1, {"L\xF6schen", "Delete", "Borrar"}},
      {"TForm40", 'H', "SB_EDN", -1, {"Datenreihe \xE4ndern", "Change data area", "Cambiar \xE1rea de datos"}},
      {"TForm50", 'M', "UiText", 3, {"Update starten", "Start update", "Iniciar actualizaci\xF3n"}},
      {"TForm50", 'M', "UiText", 10, {"tavrik antwortet nicht", "tavrik does not answer", "El tavrik no responde"}},
  };
  // After each language in turn, each after a different one: a text the
  // language leaves alone (null) keeps the one before.
  const int order[] = {0, 2, 1, 2, 0, 1, 0};
  for (std::size_t k = 0; k < std::size(order); ++k) {
    const int index = order[k];
    tav::ApplyTextTable(index);
    for (const Shown& s : shown) {
      const char* want = s.text[index];
      for (std::size_t back = k; want == nullptr && back-- > 0;) want = s.text[order[back]];
      if (want == nullptr) continue;
      EXPECT_EQ(Read(s), want) << s.window << " " << s.kind << " " << s.name << " " << s.index << " language "
                               << index << " after " << k;
    }
  }
}

// How many targets of each kind each language sets in each window (a
// target set twice counts once), and no language sets a target the windows
// lack.
TEST_F(WindowTexts, EachLanguageSetsItsCountOfTargetsInEachWindow) {
  struct Count {
    const char* window;
    int hints[3], captions[3], members[3], items[3];
  };
  const Count counts[] = {
      {"TForm1", {26, 22, 22}, {23, 23, 23}, {36, 36, 36}, {21, 21, 21}},
      {"TForm3", {20, 20, 20}, {7, 7, 7}, {31, 31, 31}, {0, 0, 0}},
      {"TForm33", {1, 1, 1}, {6, 6, 6}, {33, 33, 33}, {0, 0, 0}},
      {"TForm4", {5, 5, 5}, {0, 0, 0}, {15, 15, 15}, {0, 0, 0}},
      {"TForm5", {0, 0, 0}, {1, 1, 1}, {3, 3, 3}, {0, 0, 0}},
      {"TForm8", {0, 0, 0}, {0, 0, 0}, {8, 8, 8}, {0, 0, 0}},
      {"TForm16", {1, 1, 1}, {2, 2, 2}, {7, 7, 7}, {0, 0, 0}},
      {"TForm34", {0, 0, 0}, {0, 0, 0}, {9, 9, 9}, {0, 0, 0}},
      {"TForm35", {0, 0, 0}, {2, 2, 2}, {14, 14, 14}, {0, 0, 0}},
      {"TForm51", {0, 0, 0}, {1, 1, 1}, {16, 16, 16}, {0, 0, 0}},
      {"TForm52", {0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {0, 0, 0}},
      {"TForm56", {0, 0, 0}, {0, 0, 0}, {2, 2, 2}, {0, 0, 0}},
      {"TForm80", {9, 9, 9}, {14, 14, 14}, {5, 5, 5}, {0, 0, 0}},
      {"TForm7", {0, 0, 0}, {5, 5, 5}, {0, 0, 0}, {0, 0, 0}},
      {"TForm400", {0, 0, 0}, {16, 16, 16}, {0, 0, 0}, {0, 0, 0}},
      {"TForm30", {32, 30, 29}, {4, 4, 4}, {19, 19, 16}, {0, 0, 0}},
      {"TForm31", {25, 25, 24}, {3, 3, 3}, {0, 0, 0}, {0, 0, 0}},
      {"TForm40", {6, 6, 6}, {3, 3, 3}, {15, 15, 15}, {0, 0, 0}},
      {"TForm50", {0, 0, 0}, {0, 0, 0}, {25, 25, 25}, {0, 0, 0}},
      {"TForm200", {1, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
      {"TForm530", {1, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
  };
  // Distinct targets per window, kind and language.
  using Target = std::tuple<std::string, std::string, int>;  // kind group, name, index
  std::map<std::string, std::set<Target>> set[3];
  std::set<int> labels[3];
  for (const tav::TextRow& row : tav::TextRows()) {
    for (int l = 0; l < 3; ++l) {
      if (!row.text[l]) continue;
      EXPECT_TRUE(tav::ReadTextTarget(row).has_value()) << row.window << " " << row.name;
      std::string group;
      switch (row.kind) {
        case tav::TextKind::kHint: group = "hints"; break;
        case tav::TextKind::kCaption:
        case tav::TextKind::kFormCaption: group = "captions"; break;
        case tav::TextKind::kMember:
        case tav::TextKind::kSingle: group = "members"; break;
        case tav::TextKind::kItem: group = "items"; break;
        case tav::TextKind::kLabel: labels[l].insert(row.index); continue;
        default: group = "other"; break;
      }
      set[l][std::string(row.window) + " " + group].insert(
          Target{std::string(row.kind == tav::TextKind::kFormCaption ? "F" : "x"), std::string(row.name), row.index});
    }
  }
  std::size_t windows_seen[3] = {};
  for (const Count& c : counts) {
    for (int l = 0; l < 3; ++l) {
      const std::string w = c.window;
      for (auto [group, want] : {std::pair{"hints", c.hints[l]}, {"captions", c.captions[l]},
                                 {"members", c.members[l]}, {"items", c.items[l]}}) {
        const auto it = set[l].find(w + " " + group);
        const int have = it == set[l].end() ? 0 : static_cast<int>(it->second.size());
        EXPECT_EQ(have, want) << w << " " << group << " language " << l;
        windows_seen[l] += it != set[l].end();
      }
    }
  }
  for (int l = 0; l < 3; ++l) {
    EXPECT_EQ(windows_seen[l], set[l].size()) << "a window or kind no count names, language " << l;
    EXPECT_EQ(labels[l], (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10})) << l;
  }
}

// The targets one language sets and another leaves alone: hints only the
// German table sets; those the Spanish table leaves with their English
// text, and those it keeps in English or German by its own rows.
TEST_F(WindowTexts, TargetsALanguageLeavesAlone) {
  std::set<std::string> german_only, not_spanish;
  for (const tav::TextRow& row : tav::TextRows()) {
    const std::string target = std::string(row.window) + " " + static_cast<char>(row.kind) + " " +
                               std::string(row.name) + " " + std::to_string(row.index);
    if (row.text[0] && !row.text[1] && !row.text[2]) german_only.insert(target);
    if (row.text[0] && row.text[1] && !row.text[2]) not_spanish.insert(target);
    EXPECT_FALSE(!row.text[0] && (row.text[1] || row.text[2])) << target;
    EXPECT_FALSE(row.text[0] && !row.text[1] && row.text[2]) << target;
  }
  EXPECT_EQ(german_only, (std::set<std::string>{"TForm1 H SB_SETTIME -1", "TForm1 H SB_KILLTRIP -1",
                                                "TForm1 H SB_UPDATE -1", "TForm1 H SB_RESETCOM -1",
                                                "TForm30 H SB_LZ -1", "TForm30 H SB_POCP -1",
                                                "TForm200 H SB_0 -1", "TForm530 H List_Trip -1"}));
  EXPECT_EQ(not_spanish, (std::set<std::string>{"TForm30 H SB_PR -1", "TForm31 H SB_ST -1", "TForm30 M UiText 16",
                                                "TForm30 M UiText 17", "TForm30 M UiText 18"}));
}

// The program's own words beyond the tables, where the user sees them.
TEST_F(WindowTexts, TheProgramsOwnWordsInEachLanguage) {
  const Shown shown[] = {
      {"TForm3", 'C', "SB_GRAF", -1, {"Graf", "Graph", "Gr\xE1" "f."}},
      {"TForm3", 'C', "SB_SEL0", -1, {"Rad P", "Bike P", "Bici P"}},
      {"TForm3", 'C', "SB_SEL1", -1, {"Rad HR", "Bike HR", "Bici FC"}},
      {"TForm3", 'C', "SB_SEL2", -1, {"Lauf", "Run", "Correr"}},
      {"TForm4", 'H', "SB_PGRAF", -1, {"Power", "Power", "Potencia"}},
      {"TForm35", 'I', "CB_G6_1", 0, {"Diagramm 1", "Chart 1", "Gr\xE1" "fico 1"}},
      {"TForm35", 'I', "CB_G6_1", 5, {"Diagramm 6", "Chart 6", "Gr\xE1" "fico 6"}},
      {"TForm35", 'M', "DateHolders", 0, {"tt.mm.jjjj", "tt.mm.jjjj", "dd.mm.aaaa"}},
      {"TForm35", 'M', "DateHolders", 1, {"mm/tt/jjjj", "mm/tt/jjjj", "mm/dd/aaaa"}},
      {"TForm16", 'C', "SB_03", -1, {"Phasen", "Phases", "Fases"}},
      {"TForm16", 'H', "SB_03", -1,
       {"Power und Puls \xFC" "ber der Zeit, Pulsphasen", "Power and heart rate over time, heart-rate phases",
        "Potencia y pulso en el tiempo, fases del pulso"}},
      {"TForm16", 'C', "SB_01", -1, {"Puls/Power", "HR / Power", "Pulso/Pot."}},
      {"TForm16", 'C', "SB_04", -1, {"Drift", "Drift", "Deriva"}},
      {"TForm16", 'H', "SB_04", -1, {"Pulsdrift pro Watt", "Drift of heart rate per watt", "Deriva del pulso por vatio"}},
      {"TForm16", 'C', "SB_02", -1, {"Puls\xE4nd.", "HR change", "Cambio FC"}},
      {"TForm16", 'C', "SB_ALT", -1, {"H\xF6he", "Alt", "Alt."}},
      {"TForm16", 'H', "SB_ALT", -1, {"H\xF6he", "Altitude", "Altitud"}},
      {"TForm8", 'C', "SB_PO", -1, {"Power", "Power", "Potencia"}},
      {"TForm8", 'C', "SB_PU", -1, {"Puls", "HR", "Pulso"}},
      {"TForm8", 'C', "SB_SP", -1, {"Geschw.", "Speed", "Veloc."}},
      {"TForm8", 'C', "SB_UMST", -1, {"Zeit / %", "Time / %", "Tiempo / %"}},
      {"TForm8", 'C', "SB_UMSP", -1, {"% / Zeit", "% / Time", "% / Tiempo"}},
      {"TForm51", 'C', "SB_ALT", -1, {"Profil", "Profile", "Perfil"}},
      {"TForm51", 'C', "SB_PO", -1, {"Power", "Power", "Pot."}},
      {"TForm51", 'C', "SB_PU", -1, {"Puls", "HR", "Pulso"}},
      {"TForm51", 'C', "SB_SP", -1, {"Geschw.", "Speed", "Veloc."}},
      {"TForm51", 'C', "SB_SR", -1, {"G\xE4nge", "Gears", "Marchas"}},
      {"TForm56", 'H', "SB_ZO", -1, {"Messen", "Measure", "Medir"}},
      {"TForm200", 'F', "", -1, {"Benutzeranzeige", "User display", "Pantalla del usuario"}},
      {"TForm40", 'F', "", -1, {"Tabelle", "Table", "Tabla"}},
  };
  for (int index : {1, 2, 0, 2, 1}) {
    tav::ApplyTextTable(index);
    for (const Shown& s : shown)
      EXPECT_EQ(Read(s), s.text[index]) << s.window << " " << s.kind << " " << s.name << " " << s.index << " " << index;
  }
  // Every command of the main window the program does not offer is named so.
  tav::ApplyTextTable(1);
  for (const char* name : {"SB_D1", "SB_DATA", "SB_DATA_PC", "SB_SETTIME", "SB_KILLTRIP", "SB_UPDATE",
                           "SB_RESETCOM", "SB_Help", "SB_U_DATA", "SB_GLS", "SB_SET_COL", "SB_DR", "SB_Service",
                           "SB_CSV", "SB_DEO_DB", "SB_DB_CSV"}) {
    const tav::TControl* c = tav::TextWindow("TForm1")->FindControl(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->DisabledNote, "Not available in this program.") << name;
  }
}

// The language of a short name (as the text dump takes it), and Qt's own
// texts (standard buttons, file dialogs) following each table.
TEST_F(WindowTexts, ShortNamesAndQtsOwnTextsFollowTheLanguage) {
  EXPECT_EQ(tav::TextLanguageOf("de"), tav::kGermanTexts);
  EXPECT_EQ(tav::TextLanguageOf("en"), tav::kEnglishTexts);
  EXPECT_EQ(tav::TextLanguageOf("es"), tav::kSpanishTexts);
  EXPECT_EQ(tav::TextLanguageOf("fr"), std::nullopt);
  EXPECT_EQ(tav::TextLanguageOf(""), std::nullopt);
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (QCoreApplication::instance() == nullptr || !QFileInfo::exists(dir + QStringLiteral("/qt_de.qm")) ||
      !QFileInfo::exists(dir + QStringLiteral("/qt_es.qm")))
    GTEST_SKIP() << "no Qt application or Qt's translations are not installed";
  const std::pair<int, const char*> rows[] = {{0, "Abbrechen"}, {2, "Cancelar"}, {1, "Cancel"},
                                             {2, "Cancelar"},   {7, "Cancel"},   {0, "Abbrechen"}};
  for (auto [index, cancel] : rows) {
    tav::ApplyTextTable(index);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), cancel) << index;
  }
  tav::ApplyTextTable(1);
}

}  // namespace
