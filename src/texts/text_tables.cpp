#include "texts/text_tables.h"

#include "platform/toolkit_language.h"

#include <iterator>
#include <type_traits>

#include "acquisition/date_time_dialog.h"
#include "acquisition/device_window.h"
#include "acquisition/firmware_update.h"
#include "acquisition/user_display.h"
#include "analysis/distribution_charts.h"
#include "analysis/evaluation_window.h"
#include "analysis/grade_scan.h"
#include "analysis/heart_rate_power_scan.h"
#include "analysis/overview_charts.h"
#include "analysis/power_cadence_scan.h"
#include "analysis/power_duration_scan.h"
#include "analysis/time_above_scan.h"
#include "analysis/zone_time_scan.h"
#include "core/core_data.h"
#include "core/main_window.h"
#include "core/power_model_form.h"
#include "diary/calendar_window.h"
#include "diary/diary_window.h"
#include "mail/mail_form.h"
#include "platform/controls.h"
#include "viewing/sample_table.h"
#include "viewing/trip_comparison.h"
#include "viewing/trip_view.h"

namespace tav {

namespace {

template <auto* Var>
TForm* FormOf() {
  return *Var;
}

// The windows the tables write, by class name.
struct WindowEntry {
  std::string_view name;
  TForm* (*form)();
};
constexpr WindowEntry kWindows[] = {
    {"TForm1", FormOf<&Form1>},     {"TForm3", FormOf<&Form3>},     {"TForm33", FormOf<&Form33>},
    {"TForm4", FormOf<&Form4>},     {"TForm5", FormOf<&Form5>},     {"TForm8", FormOf<&Form8>},
    {"TForm16", FormOf<&Form16>},   {"TForm34", FormOf<&Form34>},   {"TForm35", FormOf<&Form35>},
    {"TForm51", FormOf<&Form51>},   {"TForm52", FormOf<&Form52>},   {"TForm56", FormOf<&Form56>},
    {"TForm80", FormOf<&Form80>},   {"TForm7", FormOf<&Form7>},     {"TForm400", FormOf<&Form400>},
    {"TForm30", FormOf<&Form30>},   {"TForm31", FormOf<&Form31>},   {"TForm40", FormOf<&Form40>},
    {"TForm50", FormOf<&Form50>},   {"TForm200", FormOf<&Form200>}, {"TForm530", FormOf<&Form530>},
};

// A window's text member as a run: a single string is a run of one.
template <auto* Var, auto Member>
std::span<std::string> RunOf() {
  auto* form = *Var;
  if (form == nullptr) return {};
  auto& member = form->*Member;
  if constexpr (std::is_same_v<std::remove_reference_t<decltype(member)>, std::string>)
    return {&member, 1};
  else
    return {std::begin(member), std::end(member)};
}

struct MemberEntry {
  std::string_view window, name;
  std::span<std::string> (*run)();
};
constexpr MemberEntry kMembers[] = {
    {"TForm1", "MsgText", RunOf<&Form1, &TForm1::MsgText>},
    {"TForm3", "UiText", RunOf<&Form3, &TForm3::UiText>},
    {"TForm33", "UiText", RunOf<&Form33, &TForm33::UiText>},
    {"TForm4", "UiText", RunOf<&Form4, &TForm4::UiText>},
    {"TForm5", "UiText", RunOf<&Form5, &TForm5::UiText>},
    {"TForm8", "UiText", RunOf<&Form8, &TForm8::UiText>},
    {"TForm16", "UiText", RunOf<&Form16, &TForm16::UiText>},
    {"TForm34", "UiText", RunOf<&Form34, &TForm34::UiText>},
    {"TForm35", "UiText", RunOf<&Form35, &TForm35::UiText>},
    {"TForm51", "UiText", RunOf<&Form51, &TForm51::UiText>},
    {"TForm52", "UiText", RunOf<&Form52, &TForm52::UiText>},
    {"TForm56", "UiText", RunOf<&Form56, &TForm56::UiText>},
    {"TForm80", "MsgBadAccount", RunOf<&Form80, &TForm80::MsgBadAccount>},
    {"TForm80", "MsgOffline", RunOf<&Form80, &TForm80::MsgOffline>},
    {"TForm80", "MsgHostError", RunOf<&Form80, &TForm80::MsgHostError>},
    {"TForm80", "MsgMailSent", RunOf<&Form80, &TForm80::MsgMailSent>},
    {"TForm80", "MsgGaveUp", RunOf<&Form80, &TForm80::MsgGaveUp>},
    {"TForm30", "UiText", RunOf<&Form30, &TForm30::UiText>},
    {"TForm40", "UiText", RunOf<&Form40, &TForm40::UiText>},
    {"TForm50", "UiText", RunOf<&Form50, &TForm50::UiText>},
};

TForm* WindowOf(std::string_view name) {
  for (const WindowEntry& w : kWindows)
    if (w.name == name) return w.form();
  return nullptr;
}

// Where a row's text lives; every pointer null when the target is missing.
struct Target {
  std::string* text = nullptr;  // hints, form captions, members, label slots
  TControl* captioned = nullptr;
  TComboBox* combo = nullptr;
};

Target Resolve(const TextRow& row) {
  Target t;
  if (row.kind == TextKind::kLabel) {
    if (row.index >= 0 && row.index < kLangLabelSlots) t.text = &LangLabels[static_cast<std::size_t>(row.index)];
    return t;
  }
  TForm* form = WindowOf(row.window);
  if (form == nullptr) return t;
  switch (row.kind) {
    case TextKind::kFormCaption:
      t.text = &form->Caption;
      break;
    case TextKind::kMember:
    case TextKind::kSingle: {
      const int index = row.kind == TextKind::kSingle ? 0 : row.index;
      for (const MemberEntry& m : kMembers) {
        if (m.window != row.window || m.name != row.name) continue;
        const std::span<std::string> run = m.run();
        if (index >= 0 && static_cast<std::size_t>(index) < run.size()) t.text = &run[static_cast<std::size_t>(index)];
        break;
      }
      break;
    }
    default: {
      TControl* control = form->FindControl(std::string(row.name));
      if (control == nullptr) break;
      if (row.kind == TextKind::kHint) {
        t.text = &control->Hint;
      } else if (row.kind == TextKind::kCaption) {
        t.captioned = control;
      } else if (auto* combo = dynamic_cast<TComboBox*>(control);
                 combo != nullptr && row.index >= 0 && row.index < combo->Items.Count()) {
        t.combo = combo;
      }
      break;
    }
  }
  return t;
}

void AppendQuoted(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c > 0x7E) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  out += '"';
}

}  // namespace

std::optional<std::string> ReadTextTarget(const TextRow& row) {
  const Target t = Resolve(row);
  if (t.text != nullptr) return *t.text;
  if (t.captioned != nullptr) return t.captioned->Caption;
  if (t.combo != nullptr) return t.combo->Items[row.index];
  return std::nullopt;
}

bool WriteTextTarget(const TextRow& row, std::string_view text) {
  const Target t = Resolve(row);
  if (row.kind == TextKind::kLabel) text = text.substr(0, kLangLabelChars);
  if (t.text != nullptr) {
    if (*t.text == text) return false;
    t.text->assign(text);
    if (row.kind == TextKind::kFormCaption) WindowOf(row.window)->Invalidate();
    return true;
  }
  if (t.captioned != nullptr) {
    if (t.captioned->Caption == text) return false;
    if (auto* label = dynamic_cast<TLabel*>(t.captioned))
      label->SetCaption(std::string(text));
    else
      t.captioned->Caption.assign(text);
    t.captioned->Invalidate();
    return true;
  }
  if (t.combo != nullptr) {
    std::string& item = t.combo->Items[row.index];
    if (item == text) return false;
    item.assign(text);
    if (t.combo->ItemIndex == row.index) t.combo->Text = item;
    t.combo->Invalidate();
    return true;
  }
  return false;
}

int ApplyLanguage(TextLanguage language) {
  int changed = 0;
  for (std::span<const TextRow> rows : {TextRows(), ProgramTextRows()}) {
    for (const TextRow& row : rows) {
      const std::optional<std::string_view>& text = row.text[language];
      if (text && WriteTextTarget(row, *text)) ++changed;
    }
  }
  return changed;
}

void SetHintsGerman() { ApplyLanguage(kGermanTexts); }
void SetHintsEnglish() { ApplyLanguage(kEnglishTexts); }
void SetHintsSpanish() { ApplyLanguage(kSpanishTexts); }

void ApplyTextTable(int language_index) {
  if (language_index == 0)
    SetHintsGerman();
  else if (language_index == 2)
    SetHintsSpanish();
  else
    SetHintsEnglish();
  // The standard dialogs (file dialogs, their buttons) follow too.
  SetToolkitLanguage(language_index == 0 ? "de" : language_index == 2 ? "es" : "en");
}

std::optional<TextLanguage> TextLanguageOf(std::string_view code) {
  if (code == "de") return kGermanTexts;
  if (code == "en") return kEnglishTexts;
  if (code == "es") return kSpanishTexts;
  return std::nullopt;
}

std::string DumpTextTargets() {
  std::string out;
  for (const TextRow& row : TextRows()) {
    out += row.window;
    out += '\t';
    out += static_cast<char>(row.kind);
    out += '\t';
    out += row.name;
    out += '\t';
    out += std::to_string(row.index);
    out += '\t';
    if (const std::optional<std::string> text = ReadTextTarget(row))
      AppendQuoted(out, *text);
    else
      out += "MISSING";
    out += '\n';
  }
  return out;
}

}  // namespace tav
