#include "mail/mail_form.h"

#include "core/core_data.h"
#include "platform/strings.h"

TForm80* Form80 = nullptr;

TForm80::TForm80() {
  Name = "Form80";
  Caption = "Mail";
  SetBounds(100, 80, 640, 480);
  Visible = false;
  Display_Files = Make<tav::TMemo>("Display_Files");
  Display_Files->ReadOnly = true;
  FinishCreate();
}

namespace tav {

namespace {
constexpr int kHostLine = 0, kSenderLine = 6;

std::string Trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}
}  // namespace

bool ReadMailHostAndSender(const std::filesystem::path& path, std::string& host, std::string& sender) {
  std::string bytes;
  if (!ReadRegularFile(path, bytes)) return false;
  TStringList lines;
  lines.SetText(bytes);
  host = lines.At(kHostLine);
  sender = lines.At(kSenderLine);
  return true;
}

bool MailSettingsComplete(const std::filesystem::path& path) {
  std::string host, sender;
  if (!ReadMailHostAndSender(path, host, sender)) return false;
  host = Trimmed(host);
  sender = Trimmed(sender);
  return !host.empty() && host.find_first_of(" ?") == std::string::npos && sender.find('@') != std::string::npos;
}

}  // namespace tav
