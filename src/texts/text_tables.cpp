#include "texts/text_tables.h"

#include "platform/toolkit_language.h"

#include "core/core_data.h"
#include "platform/controls.h"

namespace tav {

const std::string* WindowText(std::string_view window_class, std::string_view member, int index) {
  const std::span<std::string> run = TextMemberRun(window_class, member);
  if (index < 0 || static_cast<std::size_t>(index) >= run.size()) return nullptr;
  return &run[static_cast<std::size_t>(index)];
}

namespace {

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
  TForm* form = TextWindow(row.window);
  if (form == nullptr) return t;
  switch (row.kind) {
    case TextKind::kFormCaption:
      t.text = &form->Caption;
      break;
    case TextKind::kMember:
    case TextKind::kSingle: {
      const int index = row.kind == TextKind::kSingle ? 0 : row.index;
      const std::span<std::string> run = TextMemberRun(row.window, row.name);
      if (index >= 0 && static_cast<std::size_t>(index) < run.size()) t.text = &run[static_cast<std::size_t>(index)];
      break;
    }
    default: {
      TControl* control = form->FindControl(std::string(row.name));
      if (control == nullptr) break;
      if (row.kind == TextKind::kHint) {
        t.text = &control->Hint;
      } else if (row.kind == TextKind::kNote) {
        t.text = &control->DisabledNote;
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
    if (row.kind == TextKind::kFormCaption) TextWindow(row.window)->Invalidate();
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
  for (std::span<const TextRow> rows : {TextRows(), ProgramTextRows(), NotOfferedRows()}) {
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
