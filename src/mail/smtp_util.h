// Text helpers of the SMTP client: address parsing, address lists, header
// folding and encoding, and the transparency rule of the data phase.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tav {

// Blanks and control characters trimmed from both ends.
std::string SmtpTrim(std::string_view s);

// Splits "John <john@x.org>", "\"Doe, J\" <j@x.org>", "j@x.org" and the like
// into a friendly name and an address. When no address stands apart and the
// friendly name holds an '@', the friendly name is the address.
void ParseEmail(std::string_view text, std::string& friendly_name, std::string& address);

// The items of an address list split at ',' or ';' outside double quotes,
// trimmed; empty items are dropped.
std::vector<std::string> SplitAddressList(std::string_view value);

// A header of address items: "To: a," then TAB "b", one line per item.
std::vector<std::string> FoldedAddressHeader(std::string_view name,
                                             const std::vector<std::string>& items);

// Encoded words (RFC 2047, Q encoding) for a text with bytes from 0x80,
// joined with CR LF and a blank so that no header line grows past 76
// characters. start_column is the length of "Name: " in front of it. With
// UTF-8 a word ends only between characters, never inside one.
std::string EncodeHeaderText(std::string_view text, std::string_view charset,
                             std::size_t start_column);

// An unstructured header text (a subject) folded as RFC 5322 says: CR LF
// inserted before a blank so that lines stay within 78 characters where the
// words allow. Text with bytes from 0x80, or with a word too long for a line
// of 998 characters, becomes encoded words (EncodeHeaderText). start_column
// is the length of "Name: " in front of it.
std::string FoldHeaderText(std::string_view text, std::string_view charset, std::size_t start_column);

// An address item whose friendly name holds bytes from 0x80 gets that name
// as encoded words; any other item comes back unchanged. start_column is
// where the item starts on its header line.
std::string EncodeAddressItem(std::string_view item, std::string_view charset, std::size_t start_column = 0);

// An address item ready for its header line, which it starts at
// start_column: an 8-bit name as encoded words (EncodeAddressItem); a long
// one folded before its blanks so that lines stay within 78 characters where
// the words allow; a name with a word too long for a line of 998 characters
// as encoded words. The address itself is never folded nor encoded.
std::string FoldAddressItem(std::string_view item, std::string_view charset, std::size_t start_column);

// A file name for a quoted header parameter: double quotes, backslashes and
// control characters become '_'.
std::string SafeParameterValue(std::string_view value);

// The bytes of one data-phase line on the wire: every physical line (split
// at CR LF, a bare CR or a bare LF) ends in CR LF, and one that starts with
// '.' gets another '.' in front.
std::string DataLineToWire(std::string_view line);

// True when the text holds CR, LF or NUL.
bool HasLineBreakOrNul(std::string_view text);

// The character set to label a text with: our text is Windows-1252, so a
// text with bytes 0x80-0x9F (the euro sign, typographic quotes and dashes)
// that would be labelled "iso-8859-1" is labelled "windows-1252" instead;
// any other text keeps the configured set.
std::string CharSetFor(std::string_view charset, std::string_view text);

// True for "utf-8" (or "utf8"), in any case.
bool IsUtf8CharSet(std::string_view charset);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates
// or code points past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// True when some physical line of the data-phase line (as DataLineToWire
// sends it, dot included) is longer than SMTP's 998 bytes.
bool ExceedsSmtpLineLimit(std::string_view line);

}  // namespace tav
