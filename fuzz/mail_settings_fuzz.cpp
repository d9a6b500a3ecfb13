// The mail settings file (MAIL_SET.GRD), read through the file as the
// diary's mail button does: settings judged complete name a host without
// blanks and a sender address.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
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
  FUZZ_CHECK(tav::WriteFileAtomically(file, std::string_view(reinterpret_cast<const char*>(data), size)));
  std::string host, sender;
  FUZZ_CHECK(tav::ReadMailHostAndSender(file, host, sender));
  if (tav::MailSettingsComplete(file)) FUZZ_CHECK(sender.find('@') != std::string::npos);
  return 0;
}
