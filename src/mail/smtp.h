// The SMTP client: an event-driven component on the event loop.
//
// Every operation is a request: it sends one command (or a fixed chain of
// commands), returns at once, and reports its end later through
// OnRequestDone (request, error), always from the event loop. Misuse (a call
// in the wrong state, text that would break the protocol) throws
// SmtpException before anything is sent; server and network failures come
// back as the request's error code.
//
// TSmtpCli adds the MIME message with file attachments, TSyncSmtpCli blocking
// calls with a timeout, THtmlSmtpCli HTML mail with inline images.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "mail/base64.h"
#include "mail/wsocket.h"
#include "platform/eventloop.h"
#include "platform/strings.h"

namespace tav {

class SmtpException : public std::runtime_error {
 public:
  explicit SmtpException(const std::string& msg) : std::runtime_error(msg) {}
};

enum TSmtpState {
  smtpReady,
  smtpDnsLookup,
  smtpConnecting,
  smtpConnected,
  smtpInternalReady,
  smtpWaitingBanner,
  smtpWaitingResponse,
  smtpAbort
};

enum TSmtpRequest {
  smtpConnect = 0,
  smtpHelo = 1,
  smtpMailFrom = 2,
  smtpVrfy = 3,
  smtpRcptTo = 4,
  smtpData = 5,
  smtpQuit = 6,
  smtpRset = 7,
  smtpOpen = 8,
  smtpMail = 9,
  smtpEhlo = 10,
  smtpAuth = 11,
  smtpCustom = 12
};

// Steps of a high-level request.
enum TSmtpFct {
  smtpFctNone,
  smtpFctHelo,
  smtpFctConnect,
  smtpFctMailFrom,
  smtpFctRcptTo,
  smtpFctData,
  smtpFctVrfy,
  smtpFctQuit,
  smtpFctRset,
  smtpFctEhlo,
  smtpFctAuth
};
// A set of TSmtpFct, one bit per step.
using TSmtpFctSet = uint16_t;
constexpr TSmtpFctSet SmtpFctBit(TSmtpFct f) { return static_cast<TSmtpFctSet>(1u << f); }

enum TSmtpAuthType {
  smtpAuthNone,
  smtpAuthPlain,
  smtpAuthLogin,
  smtpAuthCramMD5,
  smtpAuthCramSha1,
  smtpAuthAutoSelect
};

enum TSmtpContentType { smtpHtml, smtpPlainText };

enum TSmtpPriority {
  smtpPriorityNone,
  smtpPriorityHighest,
  smtpPriorityHigh,
  smtpPriorityNormal,
  smtpPriorityLow,
  smtpPriorityLowest
};

// Share modes of attachment files (file-open share flags 0, 16, 32, 48, 64).
enum TSmtpShareMode {
  smtpShareCompat,
  smtpShareExclusive,
  smtpShareDenyWrite,
  smtpShareDenyRead,
  smtpShareDenyNone
};

enum TSmtpBeforeOpenFileAction { smtpBeforeOpenFileNone, smtpBeforeOpenFileNext, smtpBeforeOpenFileAbort };
enum TSmtpAfterOpenFileAction {
  smtpAfterOpenFileNone,
  smtpAfterOpenFileNext,
  smtpAfterOpenFileRetry,
  smtpAfterOpenFileAbort
};

enum TSmtpMimeState { smtpMimeIntro, smtpMimePlainText, smtpMimeHtmlText, smtpMimeImages, smtpMimeDone };

// The message the client posts to its own target to report a request's end.
inline constexpr uint32_t kWmSmtpRequestDone = 1025;
// Size of the reply buffer: a reply line must fit it with its CR LF.
inline constexpr int kSmtpRcvBufSize = 4096;
// The buffer sizes the data-phase events are told about.
inline constexpr int kSmtpHeaderLineSize = 1024;
inline constexpr int kSmtpDataLineMax = 1023;

class TCustomSmtpClient;

using TSmtpDisplay = std::function<void(TCustomSmtpClient* sender, const std::string& msg)>;
// line_num counts from 1; the handler puts the next body line into line and
// clears more after the last one. max_len is the size the line should keep to.
using TSmtpGetDataEvent =
    std::function<void(TCustomSmtpClient* sender, int line_num, std::string& line, int max_len,
                       bool& more)>;
// May rewrite a header line in place just before it is sent.
using TSmtpHeaderLineEvent =
    std::function<void(TCustomSmtpClient* sender, std::string& line, int size)>;
using TSmtpProcessHeaderEvent = std::function<void(TCustomSmtpClient* sender, TStringList& header)>;
using TSmtpRequestDone =
    std::function<void(TCustomSmtpClient* sender, TSmtpRequest request, uint16_t error)>;
using TSmtpNotify = std::function<void(TCustomSmtpClient* sender)>;
using TSmtpSessionEvent = std::function<void(TCustomSmtpClient* sender, int error)>;

class TCustomSmtpClient {
 public:
  TCustomSmtpClient();
  virtual ~TCustomSmtpClient();
  TCustomSmtpClient(const TCustomSmtpClient&) = delete;
  TCustomSmtpClient& operator=(const TCustomSmtpClient&) = delete;

  // ---- properties ----
  TWSocket& Socket() { return *socket_; }
  std::string Host;                  // server name or address
  std::string LocalAddr = "0.0.0.0";
  std::string Port = "smtp";         // service name or number
  std::string SignOn;                // name sent with HELO/EHLO (local host name when empty)
  std::string Username;
  std::string Password;
  TSmtpAuthType AuthType = smtpAuthNone;
  // The authentication types the server announced in its EHLO reply.
  const TStringList& AuthTypesSupported() const { return auth_types_supported_; }
  std::string FromName;              // envelope sender, parsed for MAIL FROM
  TStringList RcptName;              // recipients, one address per entry
  TStringList MailMessage;           // body text lines
  std::string HdrFrom;
  std::string HdrTo;
  std::string HdrCc;
  std::string HdrReplyTo;
  std::string HdrReturnPath;
  std::string HdrSubject;
  std::string HdrSender;
  TSmtpPriority HdrPriority = smtpPriorityNone;
  std::string CharSet = "iso-8859-1";
  TSmtpContentType ContentType() const { return content_type_; }
  // "text/plain" or "text/html".
  const std::string& ContentTypeText() const { return content_type_text_; }
  virtual void SetContentType(TSmtpContentType value);
  bool OwnHeaders = false;           // the body lines bring their own headers
  TSmtpShareMode ShareMode() const;
  void SetShareMode(TSmtpShareMode mode);
  int ShareFlags() const { return share_flags_; }
  void SetShareFlags(int flags) { share_flags_ = flags; }

  const std::string& LastResponse() const { return last_response_; }
  // The first error reply of the current request (every refused recipient
  // of RcptTo, one per line).
  const std::string& ErrorMessage() const { return error_message_; }
  int StatusCode() const { return status_code_; }
  bool Connected() const { return connected_; }
  bool EsmtpSupported() const { return esmtp_supported_; }
  TSmtpRequest RequestType() const { return request_type_; }
  bool RequestDone() const { return request_done_; }
  int RequestResult() const { return request_result_; }
  TSmtpState State() const { return state_; }
  // The error the last finished request reported (0 = success).
  int LastRequestError() const { return last_request_error_; }
  // The socket's error when the last connection attempt failed (10061 when
  // the server refused it), else 0. The request itself ends with 500.
  int ConnectError() const { return connect_error_; }

  // ---- events ----
  TSmtpDisplay OnDisplay;
  TSmtpDisplay OnCommand;
  TSmtpDisplay OnResponse;
  TSmtpGetDataEvent OnGetData;
  TSmtpHeaderLineEvent OnHeaderLine;
  TSmtpProcessHeaderEvent OnProcessHeader;
  TSmtpRequestDone OnRequestDone;
  TSmtpNotify OnStateChange;
  TSmtpSessionEvent OnSessionConnected;
  TSmtpSessionEvent OnSessionClosed;

  // ---- requests ----
  virtual void Connect();
  virtual void Helo();
  virtual void Ehlo();
  virtual void Auth();
  virtual void Vrfy();
  virtual void MailFrom();
  virtual void RcptTo();
  virtual void Data();
  virtual void Quit();
  virtual void Rset();
  virtual void Abort();
  // Connect + Helo (AuthType none) or Connect + Ehlo + Auth.
  virtual void Open();
  // MailFrom + RcptTo + Data.
  virtual void Mail();

  // Adds every address of the three lists (split at ',' or ';' outside
  // double quotes, trimmed, non-empty) to RcptName.
  void RcptNameAdd(std::string_view to_list, std::string_view cc_list, std::string_view bcc_list);
  void SetRcptName(const TStringList& list) { RcptName.Assign(list); }
  void SetMailMessage(const TStringList& list) { MailMessage.Assign(list); }

  // Stop the client's events (the socket's and OnRequestDone) on this
  // thread / resume them; what comes meanwhile is held, not lost. The
  // socket's texts report misuse ("Cannot detach from other thread",
  // "Cannot attach when not detached").
  void ThreadDetach();
  void ThreadAttach();

 protected:
  using TContinuation = void (TCustomSmtpClient::*)();

  virtual void TriggerDisplay(const std::string& msg);
  virtual void TriggerCommand(const std::string& msg);
  virtual void TriggerResponse(const std::string& msg);
  virtual void TriggerRequestDone(TSmtpRequest request, uint16_t error);
  virtual void TriggerStateChange();
  // Asks OnGetData for body line line_num; an exception in the handler ends
  // the body. No handler: no more lines.
  virtual void TriggerGetData(int line_num, std::string& line, int max_len, bool& more);
  virtual void TriggerHeaderLine(std::string& line, int size);
  virtual void TriggerProcessHeader(TStringList& header);
  virtual void TriggerSessionConnected(int error);
  virtual void TriggerSessionClosed(int error);
  virtual void SendCommand(const std::string& command);
  virtual void WndProc(const Message& msg);

  // Throws SmtpException when a header value would break the message.
  virtual void CheckHeaderValues() const;
  // Called when the data phase stops early (abort, lost connection).
  virtual void ReleaseDataSources() {}
  // The value of Content-Transfer-Encoding for a single-part text body, or
  // empty for none.
  virtual std::string BodyTransferEncoding() const { return {}; }
  // The character set the single-part text body is labelled with.
  virtual std::string BodyCharSet() const { return CharSet; }

  void SetState(TSmtpState state);
  void CheckReady() const;
  // Starts a command: the accepted codes (at most 16), the continuation run
  // after its reply (nullptr: the reply ends the request). shown replaces
  // the command in OnCommand/OnDisplay (credentials).
  void ExecAsync(TSmtpRequest request, const std::string& command, std::vector<int> ok_codes,
                 TContinuation continuation, const std::string& shown = {});
  // Ends the current request (once): the next step of a high-level request,
  // or OnRequestDone from the event loop.
  void EndRequest(int error);
  void HighLevelAsync(TSmtpRequest request, TSmtpFctSet steps);
  void DoHighLevelAsync();
  // Checks that the client may start a request (else SmtpException); then,
  // outside a high-level request, sets the request and clears ErrorMessage.
  void StartRequest(TSmtpRequest request, bool needs_connection = true);
  // Ends the request with error 500 and text (no reply from the server
  // could be trusted any more) and drops the connection.
  void ProtocolError(const std::string& text, int code = 500);
  std::string HeloName() const;
  void BuildHeaderLines();

  // Continuations and reply judges.
  void NextExecAsync();
  void EhloDone();
  void AuthLoginUser();
  void AuthLoginPass();
  void AuthCramNext();
  void AuthPlainNext();
  void AuthDone();
  void RcptToNext();
  void RcptToDone();
  void DataNext();
  void DataFeedReply();
  void QuitDone();
  // After a step of AUTH LOGIN or CRAM-MD5: false when it succeeded; else the
  // request ends, unless auto-select may try fallback (a 504 on a live
  // connection). True in both cases.
  bool AuthStepFailed(TSmtpAuthType fallback);
  void StartAuth(TSmtpAuthType type);

  // Socket events.
  void DnsLookupDone(int error);
  // Ends a connect whose name look-up failed: response, both session events
  // with error, the end of the request.
  void LookupFailed(const std::string& response, int error);
  void SocketSessionConnected(int error);
  void SocketSessionClosed(int error);
  void SocketDataAvailable();
  void ProcessReplyBuffer();
  // Shows a reply line and takes its code as StatusCode; false (after a
  // protocol error) when the line has none.
  bool TakeReplyCode(const std::string& line, int& code, bool& continued);
  void HandleBanner(const std::string& line);

  // Data phase.
  void DataFeedStep();
  void QueueDataLine(const std::string& line);
  // Ends the data feed; drop_queued also drops the lines not yet written
  // (kept when the data's end is about to take them along).
  void StopDataFeed(bool drop_queued = true);

  std::unique_ptr<TWSocket> socket_;
  TargetId target_ = 0;
  bool detached_ = false;
  std::vector<Message> held_;  // request ends posted while detached
  TStringList auth_types_supported_;
  TSmtpContentType content_type_ = smtpPlainText;
  std::string content_type_text_ = "text/plain";
  int share_flags_ = 32;

  std::string last_response_;
  std::string error_message_;
  int status_code_ = 0;
  bool connected_ = false;
  bool esmtp_supported_ = false;
  TSmtpRequest request_type_ = smtpConnect;
  bool request_done_ = true;
  int request_result_ = 0;
  int last_request_error_ = 0;
  int connect_error_ = 0;
  TSmtpState state_ = smtpReady;
  // Error the request ends with when the connection closes because of a
  // local protocol decision (0: the usual 10004).
  int close_error_ = 0;

  char rcv_buf_[kSmtpRcvBufSize];
  int rcv_cnt_ = 0;

  TContinuation next_ = nullptr;
  TContinuation done_async_ = nullptr;
  int ok_codes_[17] = {};
  std::string command_shown_;  // what OnCommand/OnDisplay show instead of command_
  std::string command_;  // the command in flight (its first word decides EHLO/QUIT handling)

  TSmtpFctSet fct_set_ = 0;
  TSmtpFct fct_prv_ = smtpFctNone;
  int fct_error_ = 0;
  int high_level_result_ = 0;
  bool high_level_flag_ = false;
  bool starting_high_level_ = false;

  // Authentication in progress.
  TSmtpAuthType auth_used_ = smtpAuthNone;

  // Recipients in progress.
  std::vector<std::string> rcpt_list_;
  std::size_t rcpt_index_ = 0;
  int rcpt_accepted_ = 0;
  int rcpt_first_error_ = 0;

  // Data phase.
  TStringList header_lines_;
  int header_index_ = 0;
  int line_num_ = 0;
  bool more_lines_ = false;
  bool data_feeding_ = false;
  // Data lines gathered for the next write (see DataFeedStep).
  std::string data_out_;
  static constexpr std::size_t kDataWriteSize = 16 * 1024;
};

// The MIME message with file attachments (multipart/mixed, Base64).
class TSmtpCli;
using TSmtpAttachContentTypeEvent =
    std::function<void(TSmtpCli* sender, int file_index, std::string& content_type,
                       std::string& file_name)>;
using TSmtpAttachHeaderEvent = std::function<void(TSmtpCli* sender, int file_index,
                                                  const std::string& file_name, TStringList& header)>;
using TSmtpBeforeFileOpenEvent = std::function<void(TSmtpCli* sender, int file_index,
                                                    const std::string& file_name,
                                                    TSmtpBeforeOpenFileAction& action)>;
// error is empty after a successful open, else the reason the open failed.
using TSmtpAfterFileOpenEvent =
    std::function<void(TSmtpCli* sender, int file_index, const std::string& file_name,
                       const std::string& error, TSmtpAfterOpenFileAction& action)>;

class TSmtpCli : public TCustomSmtpClient {
 public:
  TSmtpCli() = default;
  ~TSmtpCli() override;

  const TStringList& EmailFiles() const { return email_files_; }
  // Takes every non-blank line (trimmed); a file that does not exist throws
  // SmtpException "File not found '<name>'" (the lines before stay taken).
  void SetEMailFiles(const TStringList& files);

  TSmtpAttachContentTypeEvent OnAttachContentType;
  TSmtpAttachHeaderEvent OnAttachHeader;
  TSmtpBeforeFileOpenEvent OnBeforeFileOpen;
  TSmtpAfterFileOpenEvent OnAfterFileOpen;

  void Data() override;
  void Abort() override;

 protected:
  // One attached part: a file, or a stream. The part shares the stream, so
  // a message being sent keeps it even when its owner lets it go.
  struct TMailPart {
    std::string path;              // file path (or the name of a stream part)
    std::shared_ptr<std::istream> stream;
    bool inline_part = false;      // inline image instead of attachment
    std::string id_header;         // "Content-ID: <IMAGE1>" and the like
  };

  virtual void TriggerAttachContentType(int file_index, std::string& content_type,
                                        std::string& file_name);
  virtual void TriggerAttachHeader(int file_index, const std::string& file_name,
                                   TStringList& header);
  virtual void TriggerBeforeFileOpen(int file_index, const std::string& file_name,
                                     TSmtpBeforeOpenFileAction& action);
  virtual void TriggerAfterFileOpen(int file_index, const std::string& file_name,
                                    const std::string& error, TSmtpAfterOpenFileAction& action);
  virtual void PrepareEMail();
  // The Content-Type header that replaces the single-part one.
  virtual std::string MultipartContentTypeHeader() const;
  void TriggerGetData(int line_num, std::string& line, int max_len, bool& more) override;
  void TriggerHeaderLine(std::string& line, int size) override;
  void ReleaseDataSources() override;
  std::string BodyTransferEncoding() const override;
  std::string BodyCharSet() const override { return text_charset_; }

  // Collects MailMessage and the OnGetData lines; true when they must be
  // sent quoted-printable (some byte from 0x80 on, or a line longer than
  // SMTP allows).
  bool CollectText(std::vector<std::string>& lines);
  // Appends text lines to the pending lines, quoted-printable when asked.
  void QueueText(const std::vector<std::string>& lines, bool quoted_printable);
  // The part header lines for part index.
  void QueuePartHeader(int index, const std::string& content_type, const std::string& file_name);

  TStringList email_files_;
  std::vector<std::string> pending_;   // lines handed out before anything else
  std::size_t pending_pos_ = 0;
  std::vector<TMailPart> parts_;
  std::unique_ptr<TBase64FileStream> stream_;
  int file_index_ = 0;
  std::string boundary_;
  bool encoding_ = false;
  bool text_part_running_ = false;
  int text_line_num_ = 0;
  bool closing_queued_ = false;
  bool text_quoted_printable_ = false;
  std::string text_charset_ = CharSet;  // the label of the text part
};

// Blocking calls on top of TSmtpCli: each runs its request and the event
// loop until the request ends or Timeout seconds pass without progress.
class TSyncSmtpCli : public TSmtpCli {
 public:
  int Timeout = 15;          // seconds; 0 waits without limit
  bool MultiThreaded = false;  // pump the socket's loop instead of the main loop

  bool ConnectSync();
  bool HeloSync();
  bool EhloSync();
  bool AuthSync();
  bool VrfySync();
  bool OpenSync();
  bool MailFromSync();
  bool RcptToSync();
  bool DataSync();
  bool MailSync();
  bool QuitSync();
  bool RsetSync();
  bool AbortSync();

 protected:
  // Runs the loop until the state is ready; on timeout aborts and reports
  // "426 Timeout". True when the request ended with error 0.
  virtual bool WaitUntilReady();
  void TriggerGetData(int line_num, std::string& line, int max_len, bool& more) override;

  uint32_t deadline_ = 0;
};

// HTML mail: plain text and HTML alternatives, inline images, attachments.
class THtmlSmtpCli : public TSmtpCli {
 public:
  THtmlSmtpCli();

  TStringList PlainText;
  TStringList HtmlText;
  std::string HtmlCharSet = "iso-8859-1";
  const TStringList& EmailImages() const { return email_images_; }
  // Like SetEMailFiles: every non-blank path must exist.
  void SetEMailImages(const TStringList& images);
  void SetHtmlText(const TStringList& lines) { HtmlText.Assign(lines); }
  void SetPlainText(const TStringList& lines) { PlainText.Assign(lines); }
  // Image index comes from this stream instead of the file of EmailImages
  // (read from its start when the message is sent). A message on its way
  // keeps the streams it started with, whatever happens to them here.
  std::istream* GetImageStream(int index) const;
  void SetImageStream(int index, std::unique_ptr<std::istream> stream);
  int GetImageStreamCount() const { return static_cast<int>(image_streams_.size()); }
  void ClearImageStreamArray() { image_streams_.clear(); }
  TSmtpMimeState MimeState() const { return mime_state_; }
  const std::string& Boundary0() const { return boundary0_; }
  const std::string& Boundary1() const { return boundary1_; }

 protected:
  virtual void GenerateBoundaries();
  void PrepareEMail() override;
  std::string MultipartContentTypeHeader() const override;
  void TriggerGetData(int line_num, std::string& line, int max_len, bool& more) override;
  void CheckHeaderValues() const override;

  TStringList email_images_;
  std::vector<std::shared_ptr<std::istream>> image_streams_;
  std::string boundary0_;
  std::string boundary1_;
  TSmtpMimeState mime_state_ = smtpMimeIntro;
  // Where the plain text, the HTML text and the text parts end in pending_.
  std::size_t plain_start_ = 0;
  std::size_t html_start_ = 0;
  std::size_t text_end_ = 0;
};

}  // namespace tav
