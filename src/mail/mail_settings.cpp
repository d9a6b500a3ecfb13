// The mail settings file MAIL_SET.GRD: 19 text lines, nothing escaped.
#include "mail/mail_settings.h"

#include <system_error>

#include "core/core_data.h"
#include "platform/strings.h"

namespace tav {

namespace {
std::string Trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}
}  // namespace

bool ReadMailSettings(const std::filesystem::path& path, MailSettingsFile& file) {
  file = MailSettingsFile{};
  std::error_code ec;
  file.Exists = std::filesystem::exists(path, ec);
  if (!file.Exists || !ReadRegularFile(path, file.Bytes)) return false;
  file.Readable = true;
  TStringList lines;
  lines.SetText(file.Bytes);
  file.Count = lines.Count();
  for (int i = 0; i < kMailSettingsLines; ++i) file.Lines[static_cast<std::size_t>(i)] = lines.At(i);
  file.LastLineCut = !file.Bytes.empty() && file.Bytes.back() != '\n' && file.Bytes.back() != '\r';
  file.SendersDiffer = file.Count > kMailSender2 && file.Lines[kMailSender] != file.Lines[kMailSender2];
  return true;
}

std::string EncodeMailSettings(const MailSettingsLines& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

bool ReadMailHostAndSender(const std::filesystem::path& path, std::string& host, std::string& sender) {
  MailSettingsFile file;
  if (!ReadMailSettings(path, file)) return false;
  host = file.Lines[kMailHost];
  sender = file.Lines[kMailSender];
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
