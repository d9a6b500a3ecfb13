// TCustomSmtpClient: commands, replies, high-level requests, authentication
// and the data phase.
#include <algorithm>
#include <cstring>

#include "mail/base64.h"
#include "mail/md5.h"
#include "mail/mime_util.h"
#include "mail/qp.h"
#include "mail/smtp.h"
#include "mail/smtp_util.h"
#include "mail/wsocket_names.h"

namespace tav {

namespace {

// Reads the three-digit code at the start of a reply line. Leading blanks
// are allowed; the code must be followed by the end, a blank or '-'.
bool ParseReplyCode(const std::string& line, int& code, bool& continued) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (line.size() < i + 3) return false;
  code = 0;
  for (std::size_t k = i; k < i + 3; ++k) {
    if (line[k] < '0' || line[k] > '9') return false;
    code = code * 10 + (line[k] - '0');
  }
  std::size_t after = i + 3;
  if (after == line.size()) {
    continued = false;
    return true;
  }
  if (line[after] != ' ' && line[after] != '-') return false;
  continued = line[after] == '-';
  return true;
}

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool StartsWithWord(const std::string& command, const char* word) {
  std::size_t n = std::strlen(word);
  if (command.size() < n) return false;
  if (UpperAscii(command.substr(0, n)) != word) return false;
  return command.size() == n || command[n] == ' ';
}

const char kHidden[] = "********";

}  // namespace

TCustomSmtpClient::TCustomSmtpClient() : socket_(std::make_unique<TWSocket>()) {
  std::memset(rcv_buf_, 0, sizeof rcv_buf_);
  target_ = socket_->Loop().AddTarget([this](const Message& m) { WndProc(m); });
  // Commands and data ends are small writes behind data the server has not
  // acknowledged yet: without this each could wait for a delayed ACK.
  TWSocketOptions options = socket_->ComponentOptions();
  options.Include(wsoTcpNoDelay);
  socket_->SetComponentOptions(options);
  socket_->OnSessionClosed = [this](TCustomWSocket*, int error) { SocketSessionClosed(error); };
  socket_->OnDataAvailable = [this](TCustomWSocket*, int) { SocketDataAvailable(); };
  socket_->OnSessionConnected = [this](TCustomWSocket*, int error) { SocketSessionConnected(error); };
  socket_->OnDnsLookupDone = [this](TCustomWSocket*, int error) { DnsLookupDone(error); };
  socket_->OnDataSent = [this](TCustomWSocket*, int) {
    if (data_feeding_) DataFeedStep();
  };
}

TCustomSmtpClient::~TCustomSmtpClient() {
  socket_->OnSessionClosed = nullptr;
  socket_->OnDataAvailable = nullptr;
  socket_->OnSessionConnected = nullptr;
  socket_->OnDnsLookupDone = nullptr;
  socket_->OnDataSent = nullptr;
  socket_->Loop().RemoveTarget(target_);
  socket_.reset();
}

// ---------------------------------------------------------------- properties

void TCustomSmtpClient::SetContentType(TSmtpContentType value) {
  content_type_ = value;
  content_type_text_ = value == smtpPlainText ? "text/plain" : "text/html";
}

TSmtpShareMode TCustomSmtpClient::ShareMode() const {
  switch (share_flags_) {
    case 0: return smtpShareCompat;
    case 16: return smtpShareExclusive;
    case 48: return smtpShareDenyRead;
    case 64: return smtpShareDenyNone;
    default: return smtpShareDenyWrite;
  }
}

void TCustomSmtpClient::SetShareMode(TSmtpShareMode mode) {
  static constexpr int kFlags[] = {0, 16, 32, 48, 64};
  share_flags_ = (mode >= smtpShareCompat && mode <= smtpShareDenyNone) ? kFlags[mode] : 32;
}

void TCustomSmtpClient::RcptNameAdd(std::string_view to_list, std::string_view cc_list,
                                    std::string_view bcc_list) {
  std::string all = std::string(to_list) + ";" + std::string(cc_list) + ";" + std::string(bcc_list);
  for (auto& item : SplitAddressList(all)) RcptName.Add(item);
}

// ---------------------------------------------------------------- events

void TCustomSmtpClient::TriggerDisplay(const std::string& msg) {
  if (OnDisplay) OnDisplay(this, msg);
}
void TCustomSmtpClient::TriggerCommand(const std::string& msg) {
  if (OnCommand) OnCommand(this, msg);
}
void TCustomSmtpClient::TriggerResponse(const std::string& msg) {
  if (OnResponse) OnResponse(this, msg);
}
void TCustomSmtpClient::TriggerRequestDone(TSmtpRequest request, uint16_t error) {
  if (OnRequestDone) OnRequestDone(this, request, error);
}
void TCustomSmtpClient::TriggerStateChange() {
  if (OnStateChange) OnStateChange(this);
}
void TCustomSmtpClient::TriggerGetData(int line_num, std::string& line, int max_len, bool& more) {
  if (!OnGetData) {
    more = false;
    return;
  }
  try {
    OnGetData(this, line_num, line, max_len, more);
  } catch (...) {
    more = false;
  }
}
void TCustomSmtpClient::TriggerHeaderLine(std::string& line, int size) {
  if (OnHeaderLine) OnHeaderLine(this, line, size);
}
void TCustomSmtpClient::TriggerProcessHeader(TStringList& header) {
  if (OnProcessHeader) OnProcessHeader(this, header);
}
void TCustomSmtpClient::TriggerSessionConnected(int error) {
  if (OnSessionConnected) OnSessionConnected(this, error);
}
void TCustomSmtpClient::TriggerSessionClosed(int error) {
  if (OnSessionClosed) OnSessionClosed(this, error);
}

void TCustomSmtpClient::WndProc(const Message& msg) {
  if (detached_) {
    held_.push_back(msg);
    return;
  }
  if (msg.msg == kWmSmtpRequestDone)
    TriggerRequestDone(static_cast<TSmtpRequest>(msg.wparam),
                       static_cast<uint16_t>(msg.lparam & 0xFFFF));
}

void TCustomSmtpClient::ThreadDetach() {
  socket_->ThreadDetach();
  detached_ = true;
}

void TCustomSmtpClient::ThreadAttach() {
  socket_->ThreadAttach();
  detached_ = false;
  std::vector<Message> held;
  held.swap(held_);
  for (const Message& m : held) socket_->Loop().Post(target_, m);
}

// ---------------------------------------------------------------- basics

void TCustomSmtpClient::SetState(TSmtpState state) {
  if (state_ == state) return;
  state_ = state;
  TriggerStateChange();
}

void TCustomSmtpClient::CheckReady() const {
  if (state_ != smtpReady && state_ != smtpInternalReady)
    throw SmtpException("SMTP component not ready");
}

void TCustomSmtpClient::StartRequest(TSmtpRequest request, bool needs_connection) {
  // Misuse is refused before anything of the running request is touched.
  CheckReady();
  if (needs_connection && !connected_) throw SmtpException("SMTP component not connected");
  if (high_level_flag_) return;
  request_type_ = request;
  error_message_.clear();
}

std::string TCustomSmtpClient::HeloName() const {
  std::string name = SignOn.empty() ? LocalHostName() : SignOn;
  // Servers refuse a sign-on with blanks, umlauts or control bytes.
  for (char& c : name)
    if (c < 0x21 || c > 0x7E) c = '_';
  return name;
}

void TCustomSmtpClient::SendCommand(const std::string& command) {
  // Commands with credentials are shown masked; the wire gets the real one.
  const std::string shown = command_shown_.empty() ? command : command_shown_;
  TriggerCommand(shown);
  TriggerDisplay("> " + shown);
  // The end of the data goes out in one write with the last data lines.
  std::string wire = std::move(data_out_);
  data_out_.clear();
  if (socket_->State() == wsConnected) socket_->SendStr(wire + command + "\r\n");
}

void TCustomSmtpClient::ExecAsync(TSmtpRequest request, const std::string& command,
                                  std::vector<int> ok_codes, TContinuation continuation,
                                  const std::string& shown) {
  CheckReady();
  if (!connected_) throw SmtpException("SMTP component not connected");
  if (HasLineBreakOrNul(command)) {
    // Named by its first word only: the rest may be anything.
    std::string word = command.substr(0, command.find_first_of(std::string_view(" \r\n\0", 4)));
    throw SmtpException("SMTP command contains a line break or NUL: " + word);
  }
  if (!high_level_flag_) request_type_ = request;
  std::size_t n = std::min<std::size_t>(ok_codes.size(), 16);
  for (std::size_t i = 0; i < n; ++i) ok_codes_[i] = ok_codes[i];
  ok_codes_[n] = 0;
  request_done_ = false;
  request_result_ = 0;
  next_ = &TCustomSmtpClient::NextExecAsync;
  done_async_ = continuation;
  command_ = command;
  SetState(smtpWaitingResponse);
  command_shown_ = shown;
  SendCommand(command);
  command_shown_.clear();
}

void TCustomSmtpClient::EndRequest(int error) {
  if (request_done_) return;
  request_done_ = true;
  if (high_level_flag_) {
    if (state_ != smtpAbort) SetState(smtpInternalReady);
    fct_error_ = error == 0 ? 0 : (request_result_ != 0 ? request_result_ : error);
    DoHighLevelAsync();
    return;
  }
  SetState(smtpReady);
  last_request_error_ = error;
  socket_->Loop().Post(target_, Message{kWmSmtpRequestDone, static_cast<uintptr_t>(request_type_),
                                        static_cast<intptr_t>(error)});
}

void TCustomSmtpClient::ProtocolError(const std::string& text, int code) {
  last_response_ = text;
  status_code_ = code;
  if (error_message_.empty()) error_message_ = text;
  request_result_ = code;
  close_error_ = code;
  TriggerDisplay("! " + text);
  StopDataFeed();
  rcv_cnt_ = 0;
  socket_->Abort();
  // The socket reports the close; should it not, the session ends here.
  if (connected_) SocketSessionClosed(0);
  EndRequest(code);
}

// ---------------------------------------------------------------- replies

void TCustomSmtpClient::SocketDataAvailable() {
  int space = kSmtpRcvBufSize - rcv_cnt_;
  if (space <= 0) {
    ProtocolError("500 Reply line too long");
    return;
  }
  int n = socket_->Receive(rcv_buf_ + rcv_cnt_, space);
  if (n <= 0) return;
  rcv_cnt_ += n;
  ProcessReplyBuffer();
}

void TCustomSmtpClient::ProcessReplyBuffer() {
  for (;;) {
    char* end = nullptr;
    for (int i = 0; i + 1 < rcv_cnt_; ++i)
      if (rcv_buf_[i] == '\r' && rcv_buf_[i + 1] == '\n') {
        end = rcv_buf_ + i;
        break;
      }
    if (!end) break;
    std::string line(rcv_buf_, end);
    int used = static_cast<int>(end - rcv_buf_) + 2;
    std::memmove(rcv_buf_, rcv_buf_ + used, static_cast<std::size_t>(rcv_cnt_ - used));
    rcv_cnt_ -= used;
    last_response_ = line;
    TriggerResponse(line);
    switch (state_) {
      case smtpWaitingBanner:
        HandleBanner(line);
        break;
      case smtpWaitingResponse:
        if (!next_) throw SmtpException("Program error: FNext is nil");
        (this->*next_)();
        break;
      default:
        TriggerDisplay("< " + line);
        break;
    }
  }
  // A full buffer without a line end can never become a reply.
  if (rcv_cnt_ >= kSmtpRcvBufSize) ProtocolError("500 Reply line too long");
}

bool TCustomSmtpClient::TakeReplyCode(const std::string& line, int& code, bool& continued) {
  TriggerDisplay("< " + line);
  if (!ParseReplyCode(line, code, continued)) {
    ProtocolError("500 Invalid reply from server: " + line.substr(0, 200));
    return false;
  }
  status_code_ = code;
  return true;
}

void TCustomSmtpClient::HandleBanner(const std::string& line) {
  int code = 0;
  bool continued = false;
  if (!TakeReplyCode(line, code, continued) || continued) return;
  if (code != 220) {
    error_message_ = line;
    request_result_ = code;
    socket_->Close();
    if (connected_) SocketSessionClosed(0);
    return;
  }
  SetState(smtpConnected);
  TriggerSessionConnected(0);
  EndRequest(0);
}

void TCustomSmtpClient::NextExecAsync() {
  const std::string line = last_response_;
  int code = 0;
  bool continued = false;
  if (!TakeReplyCode(line, code, continued)) return;
  if (StartsWithWord(command_, "EHLO")) {
    // "250-AUTH LOGIN PLAIN" or "250-AUTH=LOGIN": collect the mechanisms.
    std::string rest = UpperAscii(SmtpTrim(line));
    rest = rest.size() > 4 ? rest.substr(4) : std::string();
    if (rest.rfind("AUTH ", 0) == 0 || rest.rfind("AUTH=", 0) == 0) {
      std::string words = rest.substr(5);
      std::replace(words.begin(), words.end(), '=', ' ');
      std::size_t p = 0;
      while (p < words.size()) {
        std::size_t q = words.find(' ', p);
        if (q == std::string::npos) q = words.size();
        std::string w = words.substr(p, q - p);
        if (!w.empty() && auth_types_supported_.IndexOf(w) < 0) auth_types_supported_.Add(w);
        p = q + 1;
      }
    }
  }
  if (continued) return;
  if (ok_codes_[0] != 0) {
    request_result_ = code;
    for (int i = 0; i < 16 && ok_codes_[i] != 0; ++i)
      if (ok_codes_[i] == code) {
        request_result_ = 0;
        break;
      }
    if (request_result_ != 0 && error_message_.empty()) error_message_ = line;
  } else {
    request_result_ = code >= 500 ? code : 0;
    if (request_result_ != 0 && error_message_.empty()) error_message_ = line;
  }
  if (done_async_) {
    TContinuation next = done_async_;
    done_async_ = nullptr;
    (this->*next)();
    return;
  }
  if (StartsWithWord(command_, "QUIT") && connected_) {
    QuitDone();
    return;
  }
  EndRequest(request_result_);
}

void TCustomSmtpClient::QuitDone() {
  // The server closes after its reply; closing our side as well ends the
  // request even when a server forgets to.
  socket_->Close();
  if (connected_) SocketSessionClosed(0);
}

// ---------------------------------------------------------------- connection

void TCustomSmtpClient::Connect() {
  CheckReady();
  if (connected_) throw SmtpException("SMTP component already connected");
  StartRequest(smtpConnect, false);
  request_done_ = false;
  rcv_cnt_ = 0;
  request_result_ = 0;
  close_error_ = 0;
  connect_error_ = 0;
  command_.clear();
  esmtp_supported_ = false;
  SetState(smtpDnsLookup);
  try {
    socket_->DnsLookup(Host);
  } catch (const std::exception& e) {
    // An empty host name: the look-up fails with "invalid argument".
    if (!request_done_ && state_ == smtpDnsLookup) LookupFailed("500 " + std::string(e.what()), kWsaEInval);
  }
}

void TCustomSmtpClient::LookupFailed(const std::string& response, int error) {
  last_response_ = response;
  status_code_ = 500;
  error_message_ = last_response_;
  request_result_ = error;
  TriggerSessionConnected(error);
  TriggerSessionClosed(error);
  EndRequest(error);
}

void TCustomSmtpClient::DnsLookupDone(int error) {
  if (state_ != smtpDnsLookup && state_ != smtpAbort) return;
  if (request_done_) return;
  if (error == 0 && socket_->DnsResult().empty()) error = kWsaNoData;
  if (error != 0) {
    LookupFailed("500 " + WSocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")", error);
    return;
  }
  try {
    socket_->SetAddr(socket_->DnsResult());
    socket_->SetLocalAddr(LocalAddr);
    socket_->SetProtoName("tcp");
    socket_->SetPort(Port);
    SetState(smtpConnecting);
    socket_->Connect();
  } catch (const std::exception& e) {
    // A port that does not resolve, a socket that cannot be made.
    last_response_ = "500 " + std::string(e.what());
    status_code_ = 500;
    error_message_ = last_response_;
    request_result_ = 500;
    connected_ = false;
    socket_->Abort();
    EndRequest(500);
  }
}

void TCustomSmtpClient::SocketSessionConnected(int error) {
  if (state_ != smtpConnecting) return;
  if (error != 0) {
    last_response_ = "500 " + WSocketErrorDesc(error) + " (Winsock error #" +
                     std::to_string(error) + ")";
    status_code_ = 500;
    connected_ = false;
    connect_error_ = error;
    request_result_ = 500;
    error_message_ = last_response_;
    EndRequest(500);
    socket_->Close();
    return;
  }
  connected_ = true;
  SetState(smtpWaitingBanner);
}

void TCustomSmtpClient::SocketSessionClosed(int error) {
  bool was_connected = connected_;
  connected_ = false;
  StopDataFeed();
  TriggerSessionClosed(error);
  if (!was_connected && request_done_) return;
  bool quitting = StartsWithWord(command_, "QUIT");
  EndRequest(quitting ? 0 : (close_error_ != 0 ? close_error_ : kWsaEIntr));
}

// ---------------------------------------------------------------- requests

void TCustomSmtpClient::Helo() {
  StartRequest(smtpHelo);
  ExecAsync(smtpHelo, "HELO " + HeloName(), {250}, nullptr);
}

void TCustomSmtpClient::Ehlo() {
  StartRequest(smtpEhlo);
  auth_types_supported_.Clear();
  ExecAsync(smtpEhlo, "EHLO " + HeloName(), {250}, &TCustomSmtpClient::EhloDone);
}

void TCustomSmtpClient::EhloDone() {
  if (request_result_ == 0) esmtp_supported_ = true;
  EndRequest(request_result_);
}

void TCustomSmtpClient::Vrfy() {
  StartRequest(smtpVrfy);
  ExecAsync(smtpVrfy, "VRFY " + HdrTo, {250}, nullptr);
}

void TCustomSmtpClient::MailFrom() {
  if (HasLineBreakOrNul(FromName))
    throw SmtpException("SMTP command contains a line break or NUL: MAIL FROM");
  StartRequest(smtpMailFrom);
  std::string friendly, address;
  ParseEmail(FromName, friendly, address);
  ExecAsync(smtpMailFrom, "MAIL FROM:<" + address + ">", {250}, nullptr);
}

void TCustomSmtpClient::RcptTo() {
  CheckReady();
  std::vector<std::string> list;
  for (const auto& item : RcptName) {
    std::string trimmed = SmtpTrim(item);
    if (!trimmed.empty()) list.push_back(trimmed);
  }
  if (list.empty()) throw SmtpException("RcptName list is empty");
  for (const auto& item : list)
    if (HasLineBreakOrNul(item))
      throw SmtpException("SMTP command contains a line break or NUL: RCPT TO");
  StartRequest(smtpRcptTo);
  rcpt_list_ = std::move(list);
  rcpt_index_ = 0;
  rcpt_accepted_ = 0;
  rcpt_first_error_ = 0;
  RcptToNext();
}

void TCustomSmtpClient::RcptToNext() {
  std::string friendly, address;
  ParseEmail(rcpt_list_[rcpt_index_], friendly, address);
  ExecAsync(smtpRcptTo, "RCPT TO:<" + address + ">", {250, 251}, &TCustomSmtpClient::RcptToDone);
}

void TCustomSmtpClient::RcptToDone() {
  if (request_result_ == 0) {
    ++rcpt_accepted_;
  } else {
    if (rcpt_first_error_ == 0) {
      rcpt_first_error_ = request_result_;
    } else {
      error_message_ += "\r\n" + last_response_;
    }
  }
  ++rcpt_index_;
  if (rcpt_index_ < rcpt_list_.size() && connected_) {
    SetState(smtpInternalReady);
    RcptToNext();
    return;
  }
  // At least one accepted recipient carries the message.
  request_result_ = rcpt_accepted_ > 0 ? 0 : rcpt_first_error_;
  EndRequest(request_result_);
}

void TCustomSmtpClient::Quit() {
  StartRequest(smtpQuit, false);
  if (!connected_) {
    if (!high_level_flag_) request_type_ = smtpQuit;
    command_ = "QUIT";
    request_done_ = false;
    request_result_ = 0;
    EndRequest(0);
    return;
  }
  ExecAsync(smtpQuit, "QUIT", {221}, nullptr);
}

void TCustomSmtpClient::Rset() {
  StartRequest(smtpRset);
  ExecAsync(smtpRset, "RSET", {250}, nullptr);
}

void TCustomSmtpClient::Abort() {
  StopDataFeed();
  ReleaseDataSources();
  bool running = !request_done_;
  SetState(smtpAbort);
  socket_->Abort();
  if (connected_) SocketSessionClosed(0);
  // A request still waiting (a name look-up, say) ends here.
  if (running && !request_done_) EndRequest(kWsaEIntr);
  SetState(smtpReady);
}

// ---------------------------------------------------------------- high level

void TCustomSmtpClient::Open() {
  if (AuthType == smtpAuthCramSha1) throw std::runtime_error("CRAM-SHA1 authentication is not implemented");
  if (connected_) throw SmtpException("SMTP component already connected");
  CheckReady();
  if (AuthType == smtpAuthNone)
    HighLevelAsync(smtpOpen, SmtpFctBit(smtpFctConnect) | SmtpFctBit(smtpFctHelo));
  else
    HighLevelAsync(smtpOpen, SmtpFctBit(smtpFctConnect) | SmtpFctBit(smtpFctEhlo) |
                                 SmtpFctBit(smtpFctAuth));
}

void TCustomSmtpClient::Mail() {
  CheckReady();
  if (!connected_) throw SmtpException("SMTP component not connected");
  bool any = false;
  for (const auto& item : RcptName) {
    if (SmtpTrim(item).empty()) continue;
    any = true;
    if (HasLineBreakOrNul(item))
      throw SmtpException("SMTP command contains a line break or NUL: RCPT TO");
  }
  if (!any) throw SmtpException("RcptName list is empty");
  if (HasLineBreakOrNul(FromName))
    throw SmtpException("SMTP command contains a line break or NUL: MAIL FROM");
  CheckHeaderValues();
  HighLevelAsync(smtpMail, SmtpFctBit(smtpFctMailFrom) | SmtpFctBit(smtpFctRcptTo) |
                               SmtpFctBit(smtpFctData));
}

void TCustomSmtpClient::HighLevelAsync(TSmtpRequest request, TSmtpFctSet steps) {
  if ((steps & SmtpFctBit(smtpFctConnect)) && connected_)
    throw SmtpException("SMTP component already connected");
  CheckReady();
  request_type_ = request;
  error_message_.clear();
  high_level_result_ = 0;
  fct_set_ = steps;
  fct_prv_ = smtpFctNone;
  fct_error_ = 0;
  high_level_flag_ = true;
  starting_high_level_ = true;
  try {
    DoHighLevelAsync();
  } catch (...) {
    starting_high_level_ = false;
    throw;
  }
  starting_high_level_ = false;
}

void TCustomSmtpClient::DoHighLevelAsync() {
  for (;;) {
    if (state_ == smtpAbort) {
      fct_set_ = 0;
      high_level_result_ = 426;
      error_message_ = "426 Operation aborted.";
    } else if (fct_error_ != 0) {
      if (fct_prv_ == smtpFctEhlo && connected_) {
        fct_set_ = SmtpFctBit(smtpFctHelo);  // the server may still speak plain SMTP
      } else {
        high_level_result_ = fct_error_;
        fct_set_ = ((fct_set_ & SmtpFctBit(smtpFctQuit)) && fct_prv_ != smtpFctQuit)
                       ? SmtpFctBit(smtpFctQuit)
                       : 0;
      }
    }
    fct_error_ = 0;
    static constexpr TSmtpFct kOrder[] = {smtpFctConnect, smtpFctHelo,     smtpFctEhlo,
                                          smtpFctAuth,    smtpFctVrfy,     smtpFctMailFrom,
                                          smtpFctRcptTo,  smtpFctData,     smtpFctQuit};
    TSmtpFct step = smtpFctNone;
    for (TSmtpFct f : kOrder)
      if (fct_set_ & SmtpFctBit(f)) {
        step = f;
        break;
      }
    if (step == smtpFctNone) {
      high_level_flag_ = false;
      request_done_ = false;
      EndRequest(high_level_result_);
      return;
    }
    fct_set_ = static_cast<TSmtpFctSet>(fct_set_ & ~SmtpFctBit(step));
    fct_prv_ = step;
    try {
      switch (step) {
        case smtpFctConnect: Connect(); break;
        case smtpFctHelo: Helo(); break;
        case smtpFctEhlo: Ehlo(); break;
        case smtpFctAuth: Auth(); break;
        case smtpFctVrfy: Vrfy(); break;
        case smtpFctMailFrom: MailFrom(); break;
        case smtpFctRcptTo: RcptTo(); break;
        case smtpFctData: Data(); break;
        case smtpFctQuit: Quit(); break;
        default: break;
      }
      return;  // the step ends through EndRequest, which comes back here
    } catch (const std::exception& e) {
      if (starting_high_level_) {
        high_level_flag_ = false;
        fct_set_ = 0;
        request_done_ = true;
        SetState(smtpReady);
        throw;
      }
      // A step refused from inside an event: the request fails with it.
      last_response_ = "500 " + std::string(e.what());
      status_code_ = 500;
      if (error_message_.empty()) error_message_ = last_response_;
      request_result_ = 500;
      request_done_ = true;
      fct_error_ = 500;
    }
  }
}

// ---------------------------------------------------------------- AUTH

void TCustomSmtpClient::Auth() {
  StartRequest(smtpAuth, false);
  if (!esmtp_supported_) {
    last_response_ = "500 ESMTP not supported.";
    error_message_ = last_response_;
    if (!high_level_flag_) request_type_ = smtpAuth;
    request_done_ = false;
    request_result_ = 500;
    EndRequest(500);
    return;
  }
  TSmtpAuthType type = AuthType;
  if (type == smtpAuthAutoSelect) {
    // The last announced of PLAIN, LOGIN, CRAM-MD5 wins; CRAM-SHA1 is not
    // implemented and therefore never chosen.
    type = smtpAuthNone;
    if (auth_types_supported_.IndexOf("PLAIN") >= 0) type = smtpAuthPlain;
    if (auth_types_supported_.IndexOf("LOGIN") >= 0) type = smtpAuthLogin;
    if (auth_types_supported_.IndexOf("CRAM-MD5") >= 0) type = smtpAuthCramMD5;
    if (type == smtpAuthNone) type = smtpAuthCramMD5;
  }
  StartAuth(type);
}

void TCustomSmtpClient::StartAuth(TSmtpAuthType type) {
  auth_used_ = type;
  switch (type) {
    case smtpAuthNone:
    case smtpAuthAutoSelect:
      last_response_ = "500 No Authentication Type Selected.";
      error_message_ = last_response_;
      request_done_ = false;
      request_result_ = 500;
      EndRequest(500);
      return;
    case smtpAuthPlain: {
      // RFC 4616: empty authorisation identity, user name, password.
      std::string credentials;
      credentials += '\0';
      credentials += Username;
      credentials += '\0';
      credentials += Password;
      ExecAsync(smtpAuth, "AUTH PLAIN " + Base64Encode(credentials), {235},
                &TCustomSmtpClient::AuthPlainNext, std::string("AUTH PLAIN ") + kHidden);
      return;
    }
    case smtpAuthLogin:
      ExecAsync(smtpAuth, "AUTH LOGIN", {334}, &TCustomSmtpClient::AuthLoginUser);
      return;
    case smtpAuthCramMD5:
      ExecAsync(smtpAuth, "AUTH CRAM-MD5", {334}, &TCustomSmtpClient::AuthCramNext);
      return;
    case smtpAuthCramSha1:
      throw std::runtime_error("CRAM-SHA1 authentication is not implemented");
  }
}

bool TCustomSmtpClient::AuthStepFailed(TSmtpAuthType fallback) {
  if (request_result_ == 0) return false;
  if (AuthType == smtpAuthAutoSelect && request_result_ == 504 && connected_) {
    SetState(smtpInternalReady);
    StartAuth(fallback);
  } else {
    AuthDone();
  }
  return true;
}

void TCustomSmtpClient::AuthDone() {
  if (request_result_ != 0 && AuthType == smtpAuthAutoSelect)
    error_message_ = "500 Authentication Type could not be determined.";
  EndRequest(request_result_);
}

void TCustomSmtpClient::AuthPlainNext() { AuthDone(); }

void TCustomSmtpClient::AuthLoginUser() {
  if (AuthStepFailed(smtpAuthPlain)) return;
  SetState(smtpInternalReady);
  ExecAsync(smtpAuth, Base64Encode(Username), {334}, &TCustomSmtpClient::AuthLoginPass, kHidden);
}

void TCustomSmtpClient::AuthLoginPass() {
  if (request_result_ != 0) {
    AuthDone();
    return;
  }
  SetState(smtpInternalReady);
  ExecAsync(smtpAuth, Base64Encode(Password), {235}, &TCustomSmtpClient::AuthDone, kHidden);
}

void TCustomSmtpClient::AuthCramNext() {
  if (AuthStepFailed(smtpAuthLogin)) return;
  const std::string reply = last_response_;
  if (reply.size() < 5) {
    last_response_ = "500 Malformed MD5 Challege: " + reply;
    error_message_ = last_response_;
    request_result_ = 500;
    EndRequest(500);
    return;
  }
  std::string challenge = Base64Decode(std::string_view(reply).substr(4));
  SetState(smtpInternalReady);
  ExecAsync(smtpAuth, CramMD5Response(Username, Password, challenge), {235},
            &TCustomSmtpClient::AuthDone, kHidden);
}

// ---------------------------------------------------------------- DATA

void TCustomSmtpClient::CheckHeaderValues() const {
  const std::pair<const char*, const std::string*> values[] = {
      {"From", &HdrFrom},       {"To", &HdrTo},           {"Cc", &HdrCc},
      {"Reply-To", &HdrReplyTo}, {"Return-Path", &HdrReturnPath}, {"Subject", &HdrSubject},
      {"Sender", &HdrSender},   {"charset", &CharSet}};
  for (const auto& [name, value] : values)
    if (HasLineBreakOrNul(*value))
      throw SmtpException(std::string("Header value contains a line break or NUL: ") + name);
}

void TCustomSmtpClient::BuildHeaderLines() {
  header_lines_.Clear();
  if (OwnHeaders) return;
  // Names are encoded or folded so that no line passes 998 characters (a
  // relaying server would break it and change the name), and 78 where the
  // words allow.
  auto add_folded = [&](const std::string& name, const std::string& value) {
    std::vector<std::string> items = SplitAddressList(value);
    if (items.empty()) return;
    for (std::size_t i = 0; i < items.size(); ++i)
      items[i] = FoldAddressItem(items[i], CharSetFor(CharSet, items[i]), i == 0 ? name.size() + 1 : 1);
    for (auto& line : FoldedAddressHeader(name, items)) header_lines_.Add(line);
  };
  auto add_address = [&](const std::string& name, const std::string& value) {
    header_lines_.Add(name + " " + FoldAddressItem(value, CharSetFor(CharSet, value), name.size() + 1));
  };
  if (!SmtpTrim(HdrReplyTo).empty()) add_folded("Reply-To:", HdrReplyTo);
  if (!SmtpTrim(HdrReturnPath).empty()) header_lines_.Add("Return-Path: " + HdrReturnPath);
  if (!HdrFrom.empty()) add_address("From:", HdrFrom);
  if (!HdrTo.empty()) add_folded("To:", HdrTo);
  if (!HdrCc.empty()) add_folded("Cc:", HdrCc);
  // Folded so that no line passes 998 characters, and 78 where it can.
  header_lines_.Add("Subject: " + FoldHeaderText(HdrSubject, CharSetFor(CharSet, HdrSubject), 9));
  if (!SmtpTrim(HdrSender).empty())
    add_address("Sender:", HdrSender);
  else if (!SmtpTrim(HdrFrom).empty())
    add_address("Sender:", HdrFrom);
  header_lines_.Add("Mime-Version: 1.0");
  header_lines_.Add("Content-Type: " + content_type_text_ + "; charset=\"" + BodyCharSet() + "\"");
  std::string encoding = BodyTransferEncoding();
  if (!encoding.empty()) header_lines_.Add("Content-Transfer-Encoding: " + encoding);
  header_lines_.Add("Date: " + Rfc822DateTime(std::time(nullptr)));
  // Some large providers refuse mail without one, and not every submission
  // server adds it.
  {
    std::string friendly, sender;
    ParseEmail(SmtpTrim(HdrFrom).empty() ? FromName : HdrFrom, friendly, sender);
    header_lines_.Add("Message-ID: " + NewMessageId(sender));
  }
  if (HdrPriority != smtpPriorityNone) {
    header_lines_.Add("X-Priority: " + std::to_string(static_cast<int>(HdrPriority)));
    switch (HdrPriority) {
      case smtpPriorityHighest:
      case smtpPriorityHigh:
        header_lines_.Add("Priority: urgent");
        header_lines_.Add("X-MSMail-Priority: High");
        break;
      case smtpPriorityNormal:
        header_lines_.Add("Priority: Normal");
        header_lines_.Add("X-MSMail-Priority: Normal");
        break;
      default:
        header_lines_.Add("Priority: non-urgent");
        header_lines_.Add("X-MSMail-Priority: Low");
        break;
    }
  }
  header_lines_.Add("X-Mailer: " + std::string(kMailerName));
  TriggerProcessHeader(header_lines_);
  header_lines_.Add("");
}

void TCustomSmtpClient::Data() {
  CheckReady();
  if (!connected_) throw SmtpException("SMTP component not connected");
  CheckHeaderValues();
  StartRequest(smtpData);
  BuildHeaderLines();
  ExecAsync(smtpData, "DATA", {354}, &TCustomSmtpClient::DataNext);
}

void TCustomSmtpClient::DataNext() {
  if (request_result_ != 0) {
    EndRequest(request_result_);
    return;
  }
  header_index_ = 0;
  line_num_ = 0;
  more_lines_ = true;
  data_feeding_ = true;
  next_ = &TCustomSmtpClient::DataFeedReply;
  DataFeedStep();
}

void TCustomSmtpClient::DataFeedReply() {
  // The server spoke in the middle of the message: it gave up on it.
  const std::string line = last_response_;
  TriggerDisplay("< " + line);
  int code = 0;
  bool continued = false;
  if (ParseReplyCode(line, code, continued) && continued) return;
  if (error_message_.empty()) error_message_ = line;
  ProtocolError(line, code >= 400 ? code : 500);
}

void TCustomSmtpClient::DataFeedStep() {
  if (!data_feeding_) return;
  if (!connected_ || socket_->State() != wsConnected) {
    StopDataFeed();
    return;
  }
  // Lines are asked for one at a time and go out in writes of some
  // kilobytes: one segment per line would flood the network with small
  // packets, and the data's end leaves together with the last lines, so it
  // never waits behind unacknowledged data for a delayed acknowledgement.
  try {
    while (data_out_.size() < kDataWriteSize) {
      if (header_index_ < header_lines_.Count()) {
        std::string line = header_lines_[header_index_++];
        TriggerHeaderLine(line, kSmtpHeaderLineSize);
        QueueDataLine(line);
        continue;
      }
      if (!more_lines_) break;
      ++line_num_;
      std::string line;
      TriggerGetData(line_num_, line, kSmtpDataLineMax, more_lines_);
      if (!data_feeding_) return;  // aborted inside
      if (more_lines_) QueueDataLine(line);
    }
  } catch (const std::exception& e) {
    // An attachment that cannot be read: the message must not go out
    // without it, so it is abandoned.
    ProtocolError("500 " + std::string(e.what()));
    return;
  }
  if (header_index_ < header_lines_.Count() || more_lines_) {
    std::string out = std::move(data_out_);
    data_out_.clear();
    socket_->SendStr(out);  // the next step follows its OnDataSent
    return;
  }
  StopDataFeed(false);
  SetState(smtpInternalReady);
  ExecAsync(smtpData, ".", {250}, nullptr);
}

void TCustomSmtpClient::QueueDataLine(const std::string& line) {
  TriggerDisplay("> " + line);
  data_out_ += DataLineToWire(line);
}

void TCustomSmtpClient::StopDataFeed(bool drop_queued) {
  if (drop_queued) data_out_.clear();
  if (!data_feeding_) return;
  data_feeding_ = false;
  ReleaseDataSources();
}

}  // namespace tav
