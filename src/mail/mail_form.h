// TForm80: the mail form (settings and sending trip files).
#pragma once

#include <filesystem>
#include <string>

#include "platform/controls.h"

class TForm80 : public tav::TForm {
 public:
  TForm80();

  // Result messages of a send (the language tables write them): account
  // refused, offline, host not found, sent, given up after four attempts.
  std::string MsgBadAccount, MsgOffline, MsgHostError, MsgMailSent, MsgGaveUp;

  // The attached files of send mode, filled by the opener.
  tav::TMemo* Display_Files = nullptr;
};

extern TForm80* Form80;

namespace tav {

// The mail settings file (MAIL_SET.GRD): 19 lines, CR LF; line 1 the SMTP
// host, line 7 the sender address. Reads those two (blank when the file is
// shorter); false when the file cannot be read.
bool ReadMailHostAndSender(const std::filesystem::path& path, std::string& host, std::string& sender);
// The settings name a usable host (no blanks, not the "smtp.?????"
// placeholder) and a sender address (with '@'): the diary's mail button then
// sends the marked trips instead of opening the settings.
bool MailSettingsComplete(const std::filesystem::path& path);

}  // namespace tav
