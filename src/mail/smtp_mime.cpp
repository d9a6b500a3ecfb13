// TSmtpCli (multipart/mixed with Base64 attachments) and THtmlSmtpCli
// (plain text and HTML alternatives with inline images).
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>

#include "mail/mime_util.h"
#include "mail/qp.h"
#include "mail/smtp.h"
#include "mail/smtp_util.h"

namespace tav {

namespace {

// The file part of a path, with '/' or '\' as separator.
std::string FilePart(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// RFC 2231 value: charset''percent-encoded bytes.
std::string ExtendedParameter(std::string_view value, std::string_view charset) {
  std::string out = std::string(charset) + "''";
  for (char ch : value) {
    auto c = static_cast<unsigned char>(ch);
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '-' || c == '_' || c == '!' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      AppendHexEscape(out, '%', c);
    }
  }
  return out;
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
}

// Fills list with the non-blank lines of files (trimmed); a file that does
// not exist throws, the lines before it stay taken.
void TakeExistingFiles(TStringList& list, const TStringList& files) {
  list.Clear();
  for (const auto& line : files) {
    std::string name = SmtpTrim(line);
    if (name.empty()) continue;
    if (!IsRegularFile(name)) throw SmtpException("File not found '" + name + "'");
    list.Add(name);
  }
}

}  // namespace

// ---------------------------------------------------------------- TSmtpCli

TSmtpCli::~TSmtpCli() { EndFileEncBase64(stream_); }

void TSmtpCli::SetEMailFiles(const TStringList& files) {
  TakeExistingFiles(email_files_, files);
}

void TSmtpCli::TriggerAttachContentType(int file_index, std::string& content_type,
                                        std::string& file_name) {
  if (OnAttachContentType) OnAttachContentType(this, file_index, content_type, file_name);
}

void TSmtpCli::TriggerAttachHeader(int file_index, const std::string& file_name,
                                   TStringList& header) {
  if (OnAttachHeader) OnAttachHeader(this, file_index, file_name, header);
}

void TSmtpCli::TriggerBeforeFileOpen(int file_index, const std::string& file_name,
                                     TSmtpBeforeOpenFileAction& action) {
  if (OnBeforeFileOpen) OnBeforeFileOpen(this, file_index, file_name, action);
}

void TSmtpCli::TriggerAfterFileOpen(int file_index, const std::string& file_name,
                                    const std::string& error, TSmtpAfterOpenFileAction& action) {
  if (OnAfterFileOpen) OnAfterFileOpen(this, file_index, file_name, error, action);
}

void TSmtpCli::Data() {
  CheckReady();
  if (!connected_) throw SmtpException("SMTP component not connected");
  CheckHeaderValues();
  PrepareEMail();
  TCustomSmtpClient::Data();
}

void TSmtpCli::Abort() {
  ReleaseDataSources();
  TCustomSmtpClient::Abort();
}

void TSmtpCli::ReleaseDataSources() {
  EndFileEncBase64(stream_);
  encoding_ = false;
}

std::string TSmtpCli::BodyTransferEncoding() const {
  return text_quoted_printable_ && boundary_.empty() ? "quoted-printable" : std::string();
}

std::string TSmtpCli::MultipartContentTypeHeader() const {
  return "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary_ + "\"";
}

bool TSmtpCli::CollectText(std::vector<std::string>& lines) {
  lines.assign(MailMessage.begin(), MailMessage.end());
  text_part_running_ = true;
  for (;;) {
    ++text_line_num_;
    std::string line;
    bool more = true;
    TCustomSmtpClient::TriggerGetData(text_line_num_, line, kSmtpDataLineMax, more);
    if (!more) break;
    lines.push_back(std::move(line));
  }
  text_part_running_ = false;
  return std::any_of(lines.begin(), lines.end(),
                     [](const std::string& l) { return HasEightBitBytes(l) || ExceedsSmtpLineLimit(l); });
}

void TSmtpCli::QueueText(const std::vector<std::string>& lines, bool quoted_printable) {
  for (const auto& line : lines)
    pending_.push_back(quoted_printable ? SplitQuotedPrintableString(EncodeQuotedPrintable(line))
                                        : line);
}

void TSmtpCli::PrepareEMail() {
  ReleaseDataSources();
  text_part_running_ = true;
  file_index_ = 0;
  text_line_num_ = 0;
  closing_queued_ = false;
  pending_.clear();
  pending_pos_ = 0;
  parts_.clear();
  for (const auto& path : email_files_) parts_.push_back(TMailPart{path, nullptr, false, {}});

  std::vector<std::string> text;
  const bool needs_coding = CollectText(text);
  // 8-bit text and lines too long for SMTP are sent quoted-printable; with
  // own headers the caller's lines are sent as they are.
  text_quoted_printable_ = needs_coding && !OwnHeaders;
  text_charset_ = CharSet;
  for (const auto& line : text)
    if (text_charset_ == CharSet) text_charset_ = CharSetFor(CharSet, line);
  if (!parts_.empty()) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d%02d", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year % 100, tm.tm_hour, tm.tm_min);
    boundary_ = "= Multipart Boundary " + std::string(stamp);
    pending_.push_back("This is a multipart MIME message.");
    pending_.push_back("");
    pending_.push_back("--" + boundary_);
    pending_.push_back("Content-Type: " + content_type_text_ + "; charset=\"" + text_charset_ + "\"");
    pending_.push_back(std::string("Content-Transfer-Encoding: ") +
                       (text_quoted_printable_ ? "quoted-printable" : "7bit"));
    pending_.push_back("");
  } else {
    boundary_.clear();
  }
  QueueText(text, text_quoted_printable_);
}

void TSmtpCli::QueuePartHeader(int index, const std::string& content_type,
                               const std::string& file_name) {
  if (pending_pos_ >= pending_.size()) {
    pending_.clear();
    pending_pos_ = 0;
  }
  const TMailPart& part = parts_[static_cast<std::size_t>(index)];
  const bool extended = HasEightBitBytes(file_name);
  const std::string safe = SafeParameterValue(file_name);
  // A content type from OnAttachContentType must not break the part header.
  std::string type = content_type;
  for (char& ch : type)
    if (ch == '\r' || ch == '\n' || ch == '\0') ch = ' ';
  pending_.push_back("--" + boundary_);
  pending_.push_back("Content-Type: " + type + ";");
  // A name taken from a path is in the file system's form, UTF-8 here; one
  // that is not UTF-8 (given by OnAttachContentType) is our own text.
  const std::string charset = IsValidUtf8(file_name) ? "utf-8" : CharSetFor(CharSet, file_name);
  pending_.push_back(extended ? "\tname*=" + ExtendedParameter(file_name, charset)
                              : "\tname=\"" + safe + "\"");
  pending_.push_back("Content-Transfer-Encoding: base64");
  pending_.push_back(part.inline_part ? "Content-Disposition: inline;"
                                      : "Content-Disposition: attachment;");
  pending_.push_back(extended ? "\tfilename*=" + ExtendedParameter(file_name, charset)
                              : "\tfilename=\"" + safe + "\"");
  if (!part.id_header.empty()) pending_.push_back(part.id_header);
  TStringList extra;
  TriggerAttachHeader(index, file_name, extra);
  for (const auto& line : extra) pending_.push_back(line);
  pending_.push_back("");
}

void TSmtpCli::TriggerGetData(int /*line_num*/, std::string& line, int /*max_len*/, bool& more) {
  more = true;
  if (pending_pos_ < pending_.size()) {
    line = pending_[pending_pos_++];
    return;
  }
  if (encoding_ && stream_) {
    bool file_more = false;
    line = DoFileEncBase64(*stream_, file_more);
    if (!file_more) {
      EndFileEncBase64(stream_);
      encoding_ = false;
      ++file_index_;
    }
    return;
  }
  if (file_index_ < static_cast<int>(parts_.size())) {
    line.clear();
    const TMailPart part = parts_[static_cast<std::size_t>(file_index_)];
    TSmtpBeforeOpenFileAction before = smtpBeforeOpenFileNone;
    TriggerBeforeFileOpen(file_index_, part.path, before);
    if (before == smtpBeforeOpenFileNext) {
      ++file_index_;
      return;
    }
    if (before == smtpBeforeOpenFileAbort) {
      more = false;
      Abort();
      return;
    }
    std::string error;
    try {
      stream_ = part.stream ? TBase64FileStream::FromStream(*part.stream)
                            : InitFileEncBase64(part.path, share_flags_);
    } catch (const std::exception& e) {
      error = e.what();
    }
    TSmtpAfterOpenFileAction after = smtpAfterOpenFileNone;
    TriggerAfterFileOpen(file_index_, part.path, error, after);
    switch (after) {
      case smtpAfterOpenFileNext:
        EndFileEncBase64(stream_);
        ++file_index_;
        return;
      case smtpAfterOpenFileRetry:
        EndFileEncBase64(stream_);
        return;
      case smtpAfterOpenFileAbort:
        EndFileEncBase64(stream_);
        more = false;
        Abort();
        return;
      case smtpAfterOpenFileNone:
        if (!error.empty()) throw SmtpException(error);
        break;
    }
    std::string file_name = FilePart(part.path);
    std::string content_type = FilenameToContentType(file_name);
    TriggerAttachContentType(file_index_, content_type, file_name);
    QueuePartHeader(file_index_, content_type, file_name);
    encoding_ = true;
    return;
  }
  // Every part is out (or skipped): close the multipart body.
  if (!boundary_.empty() && !closing_queued_) {
    closing_queued_ = true;
    line.clear();
    pending_.clear();
    pending_pos_ = 0;
    pending_.push_back("--" + boundary_ + "--");
    return;
  }
  more = false;
}

void TSmtpCli::TriggerHeaderLine(std::string& line, int size) {
  if (!boundary_.empty() && line.size() >= 13 && strncasecmp(line.c_str(), "Content-Type:", 13) == 0)
    line = MultipartContentTypeHeader();
  TCustomSmtpClient::TriggerHeaderLine(line, size);
}

// ---------------------------------------------------------------- THtmlSmtpCli

namespace {
std::mt19937& HtmlRandom() {
  static std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(std::time(nullptr)));
  return rng;
}
}  // namespace

THtmlSmtpCli::THtmlSmtpCli() {
  SetContentType(smtpHtml);
  HtmlRandom();
}

void THtmlSmtpCli::SetEMailImages(const TStringList& images) {
  TakeExistingFiles(email_images_, images);
}

std::istream* THtmlSmtpCli::GetImageStream(int index) const {
  if (index < 0 || index >= GetImageStreamCount()) return nullptr;
  return image_streams_[static_cast<std::size_t>(index)].get();
}

void THtmlSmtpCli::SetImageStream(int index, std::unique_ptr<std::istream> stream) {
  if (index < 0) return;
  if (index >= GetImageStreamCount()) image_streams_.resize(static_cast<std::size_t>(index) + 1);
  image_streams_[static_cast<std::size_t>(index)] = std::move(stream);
}

void THtmlSmtpCli::GenerateBoundaries() {
  char tick[16], rnd[16];
  std::snprintf(tick, sizeof tick, "%08X", static_cast<unsigned>(TickCount()));
  std::snprintf(rnd, sizeof rnd, "%08X", static_cast<unsigned>(HtmlRandom()() & 0x7FFFFFFF));
  boundary0_ = "----=_NextPart_000_" + std::string(tick) + "_0." + rnd;
  boundary1_ = "----=_NextPart_000_" + std::string(tick) + "_1." + rnd;
}

std::string THtmlSmtpCli::MultipartContentTypeHeader() const {
  if (content_type_ != smtpHtml) return TSmtpCli::MultipartContentTypeHeader();
  return "Content-Type: multipart/related; type=\"multipart/alternative\"; boundary=\"" +
         boundary0_ + "\"";
}

void THtmlSmtpCli::PrepareEMail() {
  if (content_type_ != smtpHtml) {
    TSmtpCli::PrepareEMail();
    return;
  }
  ReleaseDataSources();
  mime_state_ = smtpMimeIntro;
  text_part_running_ = false;
  file_index_ = 0;
  text_line_num_ = 0;
  closing_queued_ = false;
  text_quoted_printable_ = false;
  text_charset_ = CharSet;
  pending_.clear();
  pending_pos_ = 0;
  parts_.clear();

  // Images first, then files; each kind numbered from 1 for its Content-ID.
  int image_count = std::max(email_images_.Count(), GetImageStreamCount());
  for (int i = 0; i < image_count; ++i) {
    std::shared_ptr<std::istream> stream =
        i < GetImageStreamCount() ? image_streams_[static_cast<std::size_t>(i)] : nullptr;
    std::string path = email_images_.At(i);
    if (!stream && path.empty()) continue;
    if (path.empty()) path = "IMAGE" + std::to_string(i + 1);
    parts_.push_back(TMailPart{path, stream, true, "Content-ID: <IMAGE" + std::to_string(i + 1) + ">"});
  }
  for (int i = 0; i < email_files_.Count(); ++i)
    parts_.push_back(TMailPart{email_files_[i], nullptr, false,
                               "X-File-ID: <FILE" + std::to_string(i + 1) + ">"});

  GenerateBoundaries();
  boundary_ = boundary0_;
  pending_.push_back("This is a multipart MIME formatted message.");
  pending_.push_back("");
  pending_.push_back("--" + boundary0_);
  pending_.push_back("Content-Type: multipart/alternative; boundary=\"" + boundary1_ + "\"");
  pending_.push_back("");
  pending_.push_back("--" + boundary1_);
  pending_.push_back("Content-Type: text/plain; charset=\"" + CharSetFor(CharSet, PlainText.Text()) + "\"");
  pending_.push_back("Content-Transfer-Encoding: quoted-printable");
  pending_.push_back("");
  plain_start_ = pending_.size();
  QueueText(std::vector<std::string>(PlainText.begin(), PlainText.end()), true);
  pending_.push_back("--" + boundary1_);
  pending_.push_back("Content-Type: text/html; charset=\"" + CharSetFor(HtmlCharSet, HtmlText.Text()) + "\"");
  pending_.push_back("Content-Transfer-Encoding: quoted-printable");
  pending_.push_back("");
  html_start_ = pending_.size();
  QueueText(std::vector<std::string>(HtmlText.begin(), HtmlText.end()), true);
  pending_.push_back("--" + boundary1_ + "--");
  text_end_ = pending_.size();
}

void THtmlSmtpCli::CheckHeaderValues() const {
  TSmtpCli::CheckHeaderValues();
  if (HasLineBreakOrNul(HtmlCharSet))
    throw SmtpException("Header value contains a line break or NUL: charset");
}

void THtmlSmtpCli::TriggerGetData(int line_num, std::string& line, int max_len, bool& more) {
  const bool html = content_type_ == smtpHtml;
  if (html && mime_state_ != smtpMimeImages && mime_state_ != smtpMimeDone) {
    if (pending_pos_ >= text_end_)
      mime_state_ = smtpMimeImages;
    else if (pending_pos_ >= html_start_)
      mime_state_ = smtpMimeHtmlText;
    else if (pending_pos_ >= plain_start_)
      mime_state_ = smtpMimePlainText;
  }
  TSmtpCli::TriggerGetData(line_num, line, max_len, more);
  if (html && !more) mime_state_ = smtpMimeDone;
}

}  // namespace tav
