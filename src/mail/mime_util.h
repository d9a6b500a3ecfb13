// Small helpers of mail composition: content type by file name, dot escaping,
// the mail date and message ids.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tav {

// What the X-Mailer header names: the program and its version, which is
// the version the project's build states.
inline constexpr std::string_view kMailerName = "tavlog 0.1";

// By the extension, compared without case: htm/html text/html, gif, bmp,
// jpg/jpeg, png images, txt text/plain, anything else
// application/octet-stream.
std::string FilenameToContentType(std::string_view file_name);

// Doubles a '.' that starts the text and every '.' that follows CR LF.
std::string DotEscape(std::string_view text);

// "Sun, 6 Mar 2005 14:05:09 GMT": the time in UTC with English names,
// whatever the process locale says.
std::string Rfc822DateTime(std::time_t t);

// "<unique@domain>" for a Message-ID header: unique within the process and,
// by time, process id and a random part, across runs and machines. The
// domain is the part after '@' of the sender's address when it is a plain
// host name, else "localhost".
std::string NewMessageId(std::string_view sender_address);

}  // namespace tav
