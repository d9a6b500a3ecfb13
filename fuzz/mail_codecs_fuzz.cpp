// Base64 and quoted-printable: decoding any text is safe, and decoding
// what the encoders made gives the bytes back.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "mail/base64.h"
#include "mail/qp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  (void)Base64Decode(in);
  (void)DecodeQuotedPrintable(in);
  FUZZ_CHECK(Base64Decode(Base64Encode(in)) == in);
  const std::string qp = EncodeQuotedPrintable(in);
  FUZZ_CHECK(DecodeQuotedPrintable(qp) == in);
  FUZZ_CHECK(DecodeQuotedPrintable(SplitQuotedPrintableString(qp)) == in);
  return 0;
}
