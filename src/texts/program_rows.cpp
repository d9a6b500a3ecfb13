// The program's own rows: captions, hints and window captions that the
// windows give beyond the language tables (short button words, a window
// title), in German, English and Spanish, applied after the tables' rows.
// Texts are written in UTF-8 and stored as Windows-1252 bytes.
#include "texts/text_tables.h"

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

    // The time-in-zones window's measuring tool.
    {"TForm56", kHint, "SB_ZO", -1, "Messen"_t, "Measure"_t, "Medir"_t},

    // The sample table.
    {"TForm40", kFormCaption, "", -1, "Tabelle"_t, "Table"_t, "Tabla"_t},
};

}  // namespace

std::span<const TextRow> ProgramTextRows() { return kProgramRows; }

}  // namespace tav
