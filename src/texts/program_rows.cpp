// The program's own rows: captions, hints, window captions and text members
// that the windows give beyond the language tables (short button words,
// hints, a window title, caption placeholders), in German, English and
// Spanish, applied after the tables' rows.
// Texts are written in UTF-8 and stored as Windows-1252 bytes.
#include "texts/text_tables.h"

#include <array>
#include <iterator>
#include <utility>

namespace tav {

namespace {

template <detail::W1252Literal L>
constexpr std::string_view operator""_t() {
  return {L.bytes, L.size};
}

using enum TextKind;

constexpr TextRow kProgramRows[] = {
    // The diary's button row and its kinds of sport (the calendar and the
    // selection button copy these).
    {"TForm3", kCaption, "SB_GRAF", -1, "Graf"_t, "Graph"_t, "Gráf."_t},
    {"TForm3", kCaption, "SB_SEL0", -1, "Rad P"_t, "Bike P"_t, "Bici P"_t},
    {"TForm3", kCaption, "SB_SEL1", -1, "Rad HR"_t, "Bike HR"_t, "Bici FC"_t},
    {"TForm3", kCaption, "SB_SEL2", -1, "Lauf"_t, "Run"_t, "Correr"_t},
    {"TForm3", kCaption, "SB_AW", -1, "Summe"_t, "Sum"_t, "Suma"_t},
    {"TForm3", kCaption, "SB_STA2", -1, "Zone"_t, "Zones"_t, "Zonas"_t},
    // Named as the Delete key is on each keyboard.
    {"TForm3", kCaption, "SB_TRIP_KILL", -1, "Entf"_t, "Del"_t, "Supr"_t},

    // The main window's rider box.
    {"TForm1", kHint, "CB_Rider", -1, "Fahrer wählen"_t, "Choose the rider"_t, "Elegir ciclista"_t},

    // The calendar: its overview button as the main window names it, and the
    // button of its settings panel.
    {"TForm33", kCaption, "SB_G6", -1, "Charts"_t, "Charts"_t, "Gráficos"_t},
    {"TForm33", kHint, "DO_1", -1, "Zeilen der Tage wählen"_t, "Choose the lines of the days"_t,
     "Elegir las líneas de los días"_t},

    // The evaluation's view buttons, weight switch and trademark notice.
    {"TForm4", kHint, "SB_AWZ", -1, "Zusammenfassung"_t, "Summary"_t, "Resumen"_t},
    {"TForm4", kHint, "SB_PGRAF", -1, "Power"_t, "Power"_t, "Potencia"_t},
    {"TForm4", kHint, "SB_SGRAF", -1, "NP, Puls, TSS, IF"_t, "NP, HR, TSS, IF"_t, "NP, pulso, TSS, IF"_t},
    {"TForm4", kHint, "SB_Po_Gew", -1, "Power / Gewicht"_t, "Power / weight"_t, "Potencia / peso"_t},
    {"TForm4", kCaption, "TM_Label", -1, "TSS™, IF™ und NP™ sind Marken ihrer jeweiligen Inhaber."_t,
     "TSS™, IF™ and NP™ are trademarks of their respective owners."_t,
     "TSS™, IF™ y NP™ son marcas de sus respectivos propietarios."_t},

    // The six-chart overview's chart choice in its settings panel, and its
    // caption while it has nothing to chart.
    {"TForm35", kItem, "CB_G6_1", 0, "Diagramm 1"_t, "Chart 1"_t, "Gráfico 1"_t},
    {"TForm35", kItem, "CB_G6_1", 1, "Diagramm 2"_t, "Chart 2"_t, "Gráfico 2"_t},
    {"TForm35", kItem, "CB_G6_1", 2, "Diagramm 3"_t, "Chart 3"_t, "Gráfico 3"_t},
    {"TForm35", kItem, "CB_G6_1", 3, "Diagramm 4"_t, "Chart 4"_t, "Gráfico 4"_t},
    {"TForm35", kItem, "CB_G6_1", 4, "Diagramm 5"_t, "Chart 5"_t, "Gráfico 5"_t},
    {"TForm35", kItem, "CB_G6_1", 5, "Diagramm 6"_t, "Chart 6"_t, "Gráfico 6"_t},
    {"TForm35", kMember, "DateHolders", 0, "tt.mm.jjjj"_t, "tt.mm.jjjj"_t, "dd.mm.aaaa"_t},
    {"TForm35", kMember, "DateHolders", 1, "mm/tt/jjjj"_t, "mm/tt/jjjj"_t, "mm/dd/aaaa"_t},

    // The zone pie's handle.
    {"TForm10", kHint, "SB_MOVE", -1, "Verschieben"_t, "Move"_t, "Mover"_t},

    // The heart-rate views of one trip.
    {"TForm16", kCaption, "SB_03", -1, "Phasen"_t, "Phases"_t, "Fases"_t},
    {"TForm16", kHint, "SB_03", -1, "Power und Puls über der Zeit, Pulsphasen"_t,
     "Power and heart rate over time, heart-rate phases"_t, "Potencia y pulso en el tiempo, fases del pulso"_t},
    {"TForm16", kCaption, "SB_01", -1, "Puls/Power"_t, "HR / Power"_t, "Pulso/Pot."_t},
    {"TForm16", kHint, "SB_01", -1, "Puls über Power mit Ausgleichsgeraden"_t,
     "Heart rate on power with fitted lines"_t, "Pulso sobre potencia con rectas de ajuste"_t},
    {"TForm16", kCaption, "SB_04", -1, "Drift"_t, "Drift"_t, "Deriva"_t},
    {"TForm16", kHint, "SB_04", -1, "Pulsdrift pro Watt"_t, "Drift of heart rate per watt"_t,
     "Deriva del pulso por vatio"_t},
    {"TForm16", kCaption, "SB_02", -1, "Pulsänd."_t, "HR change"_t, "Cambio FC"_t},
    {"TForm16", kHint, "SB_02", -1, "Puls und seine Änderung pro Minute"_t, "Heart rate and its change per minute"_t,
     "Pulso y su cambio por minuto"_t},
    {"TForm16", kCaption, "SB_ALT", -1, "Höhe"_t, "Alt"_t, "Alt."_t},
    {"TForm16", kHint, "SB_ALT", -1, "Höhe"_t, "Altitude"_t, "Altitud"_t},

    // The time-above window.
    {"TForm8", kCaption, "SB_PO", -1, "Power"_t, "Power"_t, "Potencia"_t},
    {"TForm8", kCaption, "SB_PU", -1, "Puls"_t, "HR"_t, "Pulso"_t},
    {"TForm8", kCaption, "SB_SP", -1, "Geschw."_t, "Speed"_t, "Veloc."_t},
    {"TForm8", kCaption, "SB_UMST", -1, "Zeit / %"_t, "Time / %"_t, "Tiempo / %"_t},
    {"TForm8", kCaption, "SB_UMSP", -1, "% / Zeit"_t, "% / Time"_t, "% / Tiempo"_t},

    // The grade scan.
    {"TForm51", kCaption, "SB_ALT", -1, "Profil"_t, "Profile"_t, "Perfil"_t},
    {"TForm51", kCaption, "SB_PO", -1, "Power"_t, "Power"_t, "Pot."_t},
    {"TForm51", kCaption, "SB_PU", -1, "Puls"_t, "HR"_t, "Pulso"_t},
    {"TForm51", kCaption, "SB_SP", -1, "Geschw."_t, "Speed"_t, "Veloc."_t},
    {"TForm51", kCaption, "SB_SR", -1, "Gänge"_t, "Gears"_t, "Marchas"_t},

    // The power/cadence/speed window's views.
    {"TForm52", kHint, "SB_PRS", -1, "Power/RPM/Geschw."_t, "Power/RPM/Speed"_t, "Potencia/RPM/Velocidad"_t},
    {"TForm52", kHint, "SB_PR", -1, "Drehmoment/RPM"_t, "Torque/RPM"_t, "Par/RPM"_t},

    // The time-in-zones window's measuring tool.
    {"TForm56", kHint, "SB_ZO", -1, "Messen"_t, "Measure"_t, "Medir"_t},

    // The trip view's calendar button.
    {"TForm30", kHint, "SB_KAL", -1, "Kalender"_t, "Calendar"_t, "Calendario"_t},

    // The user display editor.
    {"TForm200", kFormCaption, "", -1, "Benutzeranzeige"_t, "User display"_t, "Pantalla del usuario"_t},
    {"TForm200", kCaption, "B_NO", -1, "Abbrechen"_t, "Cancel"_t, "Cancelar"_t},

    // The sample table.
    {"TForm40", kFormCaption, "", -1, "Tabelle"_t, "Table"_t, "Tabla"_t},
};

// The commands the windows show for the parts of the program that are not
// built here (the device link, rider and zone settings, imports, the trip
// views' tools and the sample table's edits): they stay disabled, and their
// hints say so.
struct ControlOf {
  std::string_view window, name;
};
constexpr ControlOf kNotOffered[] = {
    // The main window.
    {"TForm1", "SB_D1"}, {"TForm1", "SB_DATA"}, {"TForm1", "SB_DATA_PC"}, {"TForm1", "SB_SETTIME"},
    {"TForm1", "SB_KILLTRIP"}, {"TForm1", "SB_UPDATE"}, {"TForm1", "SB_RESETCOM"}, {"TForm1", "SB_Help"},
    {"TForm1", "SB_U_DATA"}, {"TForm1", "SB_GLS"}, {"TForm1", "SB_SET_COL"}, {"TForm1", "SB_DR"},
    {"TForm1", "SB_Service"}, {"TForm1", "SB_CSV"}, {"TForm1", "SB_DEO_DB"}, {"TForm1", "SB_DB_CSV"},
    // The single-trip view's tools.
    {"TForm30", "SB_ZV"}, {"TForm30", "SB_ZI"}, {"TForm30", "SB_L"}, {"TForm30", "SB_R"},
    {"TForm30", "SB_DD"}, {"TForm30", "SB_DT"}, {"TForm30", "SB_SO"}, {"TForm30", "SB_PP"},
    {"TForm30", "SB_MI"}, {"TForm30", "SB_SR"}, {"TForm30", "SB_PR"}, {"TForm30", "SB_PA"},
    {"TForm30", "SB_IN"}, {"TForm30", "SB_GL"}, {"TForm30", "SB_CL1"}, {"TForm30", "SB_CL2"},
    {"TForm30", "SB_CLV"}, {"TForm30", "SB_SET_INT"}, {"TForm30", "SB_LZ"}, {"TForm30", "SB_POCP"},
    {"TForm30", "SB_DA"}, {"TForm30", "SB_DB"},
    // The comparison's tools.
    {"TForm31", "SB_ZI"}, {"TForm31", "SB_ZV"}, {"TForm31", "SB_L"}, {"TForm31", "SB_R"},
    {"TForm31", "SB_DD"}, {"TForm31", "SB_DT"}, {"TForm31", "SB_AW"}, {"TForm31", "SB_AT"},
    {"TForm31", "SB_PA"}, {"TForm31", "SB_SO"}, {"TForm31", "SB_SR"}, {"TForm31", "SB_TP"},
    {"TForm31", "SB_ST"}, {"TForm31", "SB_F1"}, {"TForm31", "SB_F2"}, {"TForm31", "SK_0"},
    {"TForm31", "SK_1"}, {"TForm31", "SK_2"}, {"TForm31", "SK_3"}, {"TForm31", "SK_4"},
    // The sample table's edits.
    {"TForm40", "SB_ED1"}, {"TForm40", "SB_EDN"}, {"TForm40", "SB_GLG"}, {"TForm40", "SB_MAX"},
    {"TForm40", "SB_PU_KOR"}, {"TForm40", "SB_INT"}, {"TForm40", "B_CL_Trip"}, {"TForm40", "B_Nein"},
};

constexpr std::string_view kNotOfferedNote[kTextLanguages] = {
    "In diesem Programm nicht verfügbar."_t, "Not available in this program."_t,
    "No disponible en este programa."_t};

template <std::size_t... I>
constexpr std::array<TextRow, sizeof...(I)> NoteRows(std::index_sequence<I...>) {
  return {TextRow(kNotOffered[I].window, kNote, kNotOffered[I].name, -1, kNotOfferedNote[0],
                  kNotOfferedNote[1], kNotOfferedNote[2])...};
}
constexpr auto kNotOfferedRows = NoteRows(std::make_index_sequence<std::size(kNotOffered)>());

}  // namespace

std::span<const TextRow> ProgramTextRows() { return kProgramRows; }
std::span<const TextRow> NotOfferedRows() { return kNotOfferedRows; }

}  // namespace tav
