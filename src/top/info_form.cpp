#include "top/info_form.h"

#include <filesystem>

#include "core/core_data.h"
#include "openers/openers.h"
#include "platform/text.h"

TForm12* Form12 = nullptr;

TForm12::TForm12() {
  Name = "Form12";
  Caption = "Info";
  SetBounds(120, 90, 640, 520);
  // The smallest window still shows lines of readable length.
  MinClientWidth = 320;
  MinClientHeight = 200;
  Visible = false;
  RichEdit1 = Make<tav::TRichEdit>("RichEdit1");
  RichEdit1->ReadOnly = true;
  RichEdit1->ScrollBars = tav::TScrollStyle::ssVertical;
  RichEdit1->SetBounds(0, 0, ClientWidth(), ClientHeight());
  OnResize = [this](tav::TControl*) { RichEdit1->SetBounds(0, 0, ClientWidth(), ClientHeight()); };
  FinishCreate();
}

namespace tav {

std::string HelpTopicPath(const std::string& prefix, int language_index, int n) {
  return prefix + (language_index == 0 ? "DE" : "EN") + Format("%02i.RTF", n);
}

std::string HelpMissingText(int language_index, const std::string& file) {
  if (language_index == 0) return "Keine Hilfe vorhanden: die Datei " + file + " fehlt.";
  if (language_index == 2) return "No hay ayuda: falta el archivo " + file + ".";
  return "No help available: the file " + file + " is missing.";
}

bool HandleHelpKey(WORD& key, int topic) {
  if (key != VK_F5) return false;
  ShowHelpTopic(topic);
  key = 0;
  return true;
}

void CloseHelp() {
  if (Form12 != nullptr && Form12->Visible) Form12->Close();
}

void ShowHelpTopic(int n) {
  if (Form12 == nullptr) return;
  const std::filesystem::path path = FsPath(HelpTopicPath(HelpPathPrefix, LanguageIndex, n));
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    // Say why nothing opens, naming the file that is missing.
    Application().ShowMessage(HelpMissingText(LanguageIndex, HelpTopicPath(HelpPathPrefix, LanguageIndex, n)));
    return;
  }
  if (!Form12->RichEdit1->LoadFromFile(path)) return;
  // The window is named after the topic (its first line) and opens at the
  // topic's start, not at the end of its text.
  const TStringList& lines = Form12->RichEdit1->Lines;
  Form12->Caption = lines.Count() > 0 && !IsBlank(lines[0]) ? lines[0] : "Info";
  Form12->RichEdit1->Select(0, 0);
  Form12->Show();
}

}  // namespace tav
