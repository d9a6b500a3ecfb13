// Small helpers of mail composition: content type by file name, dot escaping
// and the mail date.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tav {

// By the extension, compared without case: htm/html text/html, gif, bmp,
// jpg/jpeg images, txt text/plain, anything else application/octet-stream.
std::string FilenameToContentType(std::string_view file_name);

// Doubles a '.' that starts the text and every '.' that follows CR LF.
std::string DotEscape(std::string_view text);

// "Sun, 6 Mar 2005 14:05:09 GMT": the time in UTC with English names,
// whatever the process locale says.
std::string Rfc822DateTime(std::time_t t);

}  // namespace tav
