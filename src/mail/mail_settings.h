// The mail settings file MAIL_SET.GRD: what the mail window stores and the
// diary's mail button asks of it.
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace tav {

// MAIL_SET.GRD: 19 lines, Windows-1252, each ended by CR LF, in this order.
inline constexpr int kMailSettingsLines = 19;
enum MailSettingsLine {
  kMailHost,        // SMTP host
  kMailPort,        // port (name or number)
  kMailSignOn,      // HELO/EHLO name
  kMailAccount,     // account name
  kMailPassword,    // password, in clear
  kMailSubject,     // default subject
  kMailSender,      // sender address
  kMailSender2,     // sender address again
  kMailRecipients,  // recipients of the next mail (";"-separated)
  kMailBook         // kMailBook .. kMailBook + 9: address-book entries 1-10
};
using MailSettingsLines = std::array<std::string, kMailSettingsLines>;

// What reading MAIL_SET.GRD found.
struct MailSettingsFile {
  MailSettingsLines Lines;  // the lines read; those past Count are empty
  int Count = 0;            // lines the file holds (more than 19: the rest is not taken)
  bool Exists = false;
  bool Readable = false;
  std::string Bytes;        // the file as read
  bool LastLineCut = false;    // its last line has no line break (every line is written with one)
  bool SendersDiffer = false;  // the two sender lines differ (the form keeps one of them)
  // Read in part, not at all, cut or with something the form cannot keep:
  // its original is kept before it is replaced.
  bool Damaged() const {
    return Exists && (!Readable || Count != kMailSettingsLines || LastLineCut || SendersDiffer);
  }
};
// False when the file is missing or cannot be read.
bool ReadMailSettings(const std::filesystem::path& path, MailSettingsFile& file);
// The 19 lines, each ended by CR LF.
std::string EncodeMailSettings(const MailSettingsLines& lines);

// Reads the host (line 1) and the sender address (line 7), blank when the
// file is shorter; false when the file cannot be read.
bool ReadMailHostAndSender(const std::filesystem::path& path, std::string& host, std::string& sender);
// The settings name a usable host (no blanks, not the "smtp.?????"
// placeholder) and a sender address (with '@'): the diary's mail button then
// sends the marked trips instead of opening the settings.
bool MailSettingsComplete(const std::filesystem::path& path);

}  // namespace tav
