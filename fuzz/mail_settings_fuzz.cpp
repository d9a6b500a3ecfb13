// The mail settings file (MAIL_SET.GRD), read through the file as the
// diary's mail button does: settings judged complete name a host without
// blanks and a sender address. A file the form would not store unchanged
// (cut last line, sender lines that differ) counts as damaged.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "mail/mail_form.h"
#include "platform/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path file = [] {
    const auto dir = std::filesystem::temp_directory_path() / ("tavlog_mail_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir / "MAIL_SET.GRD";
  }();
  {
    // Written plainly: the reader is under test, not the durable writer.
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
  }
  tav::MailSettingsFile read;
  FUZZ_CHECK(tav::ReadMailSettings(file, read));
  if (size > 0 && data[size - 1] != '\n' && data[size - 1] != '\r') FUZZ_CHECK(read.Damaged());
  if (!read.Damaged()) FUZZ_CHECK(read.Lines[tav::kMailSender] == read.Lines[tav::kMailSender2]);
  std::string host, sender;
  FUZZ_CHECK(tav::ReadMailHostAndSender(file, host, sender));
  if (tav::MailSettingsComplete(file)) FUZZ_CHECK(sender.find('@') != std::string::npos);
  return 0;
}
