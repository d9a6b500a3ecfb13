// The language text tables: the German, English and Spanish captions,
// hints, window text members and combo items of every window, the short
// labels the statistics share (LangLabels), and the note that a command the
// program does not offer adds to its hint.
//
// The tables are data: one row per target with its text in each language,
// or no text where that language leaves the target alone. Applying a
// language writes every target its column sets, in row order, on the GUI
// thread; a target it does not set keeps whatever it showed before (the
// window's own text, or the last language that set it). Targets are found
// by window class and control or member name, so a window that lacks one is
// visible in the dump (DumpTextTargets) rather than an error.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace tav {

class TForm;

enum TextLanguage : int { kGermanTexts = 0, kEnglishTexts = 1, kSpanishTexts = 2 };
inline constexpr int kTextLanguages = 3;

// What a row writes; the value is the letter the dump shows.
enum class TextKind : char {
  kHint = 'H',         // a control's hint
  kCaption = 'C',      // a control's caption
  kFormCaption = 'F',  // the window's own caption
  kMember = 'M',       // entry `index` of a window's run of text members
  kSingle = 'S',       // a single text member of a window
  kItem = 'I',         // item `index` of a combo box (replaced in place)
  kLabel = 'L',        // LangLabels slot `index`
  kNote = 'N',         // the line a control's hint adds while it is disabled
};

struct TextRow {
  // A row as the tables give it: target, then the German, English and
  // Spanish text.
  constexpr TextRow(std::string_view window_, TextKind kind_, std::string_view name_, int index_,
                    std::optional<std::string_view> german, std::optional<std::string_view> english,
                    std::optional<std::string_view> spanish)
      : window(window_), kind(kind_), name(name_), index(index_), text{german, english, spanish} {}

  std::string_view window;  // form class ("TForm3"); empty for LangLabels
  TextKind kind;
  std::string_view name;    // control, member or combo box; empty for a form caption
  int index;                // member index, item or slot; -1 where none
  // Windows-1252 bytes by TextLanguage; nullopt: that table leaves the target alone.
  std::optional<std::string_view> text[kTextLanguages];
};

// Every row of the three tables, window by window.
std::span<const TextRow> TextRows();
// The program's own rows: texts the windows give beyond the tables (short
// button words, a window caption), in all three languages; ApplyLanguage
// writes them after the tables' rows.
std::span<const TextRow> ProgramTextRows();
// The commands the windows show but this program does not offer (disabled
// for good): one kNote row each, saying so in all three languages;
// ApplyLanguage writes them last.
std::span<const TextRow> NotOfferedRows();

// The text the row's target holds now; nullopt when the window, control,
// member, item or slot does not exist.
std::optional<std::string> ReadTextTarget(const TextRow& row);
// Writes text to the row's target when it exists and holds something else:
// captions through the control (labels resize), hints and members as
// copies, a combo item in place (count and selection kept, no event), a
// LangLabels slot cut to its size. True when something was written.
bool WriteTextTarget(const TextRow& row, std::string_view text);

// Where the targets live (defined with the windows, top/text_targets.cpp):
// the window of a class name ("TForm3"), null when it does not exist; a
// window's run of text members by name ("UiText"), empty when the window or
// the member does not exist; and entry `index` of such a run, null when
// missing.
TForm* TextWindow(std::string_view window_class);
std::span<std::string> TextMemberRun(std::string_view window_class, std::string_view member);
const std::string* WindowText(std::string_view window_class, std::string_view member, int index);

// Applies one language's table to every window; the number of targets that
// changed (0 when the same table is applied again).
int ApplyLanguage(TextLanguage language);
void SetHintsGerman();
void SetHintsEnglish();
void SetHintsSpanish();
// The table of a language index: 0 German, 2 Spanish, any other English;
// Qt's own texts (SetToolkitLanguage) follow.
void ApplyTextTable(int language_index);
// The language of a short name ("de", "en", "es").
std::optional<TextLanguage> TextLanguageOf(std::string_view code);

// One line per target of the tables, in row order: window class, kind
// letter, name, index and the current text quoted (\n, \", \\ and bytes
// outside 0x20-0x7E as \xHH), tab-separated; a target the windows lack
// shows MISSING instead of a text.
std::string DumpTextTargets();

}  // namespace tav
