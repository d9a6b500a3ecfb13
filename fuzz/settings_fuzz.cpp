// The settings file: whatever it holds, the settings read from it are
// within their ranges, so writing them and reading them back takes every
// value as it is and replaces nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/core_data.h"
#include "core/settings.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav;
  std::vector<std::string> replaced;
  DecodeSettings(std::string_view(reinterpret_cast<const char*>(data), size), &replaced);
  const std::string written = EncodeSettings();
  replaced.clear();
  FUZZ_CHECK(DecodeSettings(written, &replaced));
  FUZZ_CHECK(replaced.empty());
  FUZZ_CHECK(EncodeSettings() == written);
  return 0;
}
