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
// nothing happens.
void ShowHelpTopic(int n);
}  // namespace tav
