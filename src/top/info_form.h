// TForm12: the info window that shows a help topic.
#pragma once

#include <string>

#include "platform/controls.h"

class TForm12 : public tav::TForm {
 public:
  TForm12();
  tav::TRichEdit* RichEdit1 = nullptr;
};

extern TForm12* Form12;

namespace tav {
// The file name of help topic n for a language: prefix + "DE" (language 0)
// or "EN" (any other) + two digits + ".RTF".
std::string HelpTopicPath(const std::string& prefix, int language_index, int n);
// Shows help topic n in the info window when its file exists; otherwise
// a message names the missing file (HelpMissingText).
void ShowHelpTopic(int n);
// The message ShowHelpTopic shows when the topic's file is missing, in the
// language of `language_index` (0 German, 2 Spanish, other English).
std::string HelpMissingText(int language_index, const std::string& file);
}  // namespace tav
