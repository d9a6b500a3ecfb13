// Quoted-printable (RFC 2045) for the text parts of HTML mail.
#pragma once

#include <string>
#include <string_view>

namespace tav {

// Replaces '=', every byte below 32 (CR and LF included) and every byte above
// 126 by '=' and two upper-case hexadecimal digits. A blank or TAB at the end
// of the text is encoded too, so no line of the result ends in white space
// (mail transports strip it).
std::string EncodeQuotedPrintable(std::string_view text);

// Text up to 76 characters stays as it is; a longer one is cut into pieces of
// at most 75 characters, each but the last followed by a soft line break
// ("=" CR LF). A cut never splits an escape.
std::string SplitQuotedPrintableString(std::string_view text);

// Inverse of the two above: "=" CR LF (or "=" LF) is a soft line break, "="
// and two hexadecimal digits (either case) a byte. A "=" that starts neither
// is kept as it is. Never reads past the input.
std::string DecodeQuotedPrintable(std::string_view text);

// Appends marker and the byte as two upper-case hexadecimal digits ("=E4",
// "%20"): the escape of quoted-printable, encoded words and RFC 2231 values.
void AppendHexEscape(std::string& out, char marker, unsigned char byte);

// True when some byte is 0x80 or above.
bool HasEightBitBytes(std::string_view text);

}  // namespace tav
