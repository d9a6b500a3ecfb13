// Help files: the RTF of a help topic turned into the info window's text.
// Any bytes give text no longer than they are (every character of the text
// comes from the document, one or two for each of its characters).
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "platform/controls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view rtf(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(tav::RtfToText(rtf).size() <= 2 * size + 2);
  return 0;
}
