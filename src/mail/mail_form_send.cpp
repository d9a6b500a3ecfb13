// TForm80: sending. B_Send opens the connection; each step follows from the
// end of the request before it (OnRequestDone), never from the text of a log
// line, so a server reply holding "Error=" cannot end a step.
#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/user_words.h"
#include "core/core_data.h"
#include "mail/mail_form.h"
#include "mail/smtp_util.h"
#include "mail/wsocket_error.h"
#include "platform/strings.h"
#include "platform/text.h"

using namespace tav;
using namespace tav::literals;

namespace {
constexpr int kLogLines = 100;      // the log is cleared when it holds more
constexpr int kChangesPerStep = 50;  // log changes per step of the progress bar
}  // namespace

void TForm80::UseClient(std::unique_ptr<TSmtpCli> client) {
  SmtpClient = std::move(client);
  TSmtpCli& c = *SmtpClient;
  c.OnDisplay = [this](TCustomSmtpClient* s, const std::string& msg) { SmtpClientDisplay(s, msg); };
  c.OnRequestDone = [this](TCustomSmtpClient* s, TSmtpRequest rq, uint16_t e) { SmtpClientRequestDone(s, rq, e); };
  c.OnSessionConnected = [this](TCustomSmtpClient* s, int e) { SmtpClientSessionConnected(s, e); };
  c.OnCommand = [this](TCustomSmtpClient* s, const std::string& command) { SmtpClientCommand(s, command); };
  c.OnGetData = [this](TCustomSmtpClient* s, int n, std::string& line, int max, bool& more) {
    SmtpClientGetData(s, n, line, max, more);
  };
}

std::string TForm80::MissingAttachment() const {
  for (const std::string& line : FileAttachMemo->Lines) {
    const std::string name = SmtpTrim(line);
    std::error_code ec;
    if (!name.empty() && !std::filesystem::is_regular_file(FsPath(name), ec))
      return Words("Anhang fehlt: ", "Attachment missing: ", "Falta el adjunto: ") +
             std::filesystem::path(name).filename().string();
  }
  return {};
}

void TForm80::B_SendClick(TControl*) {
  if (Sending()) return;  // one send at a time
  DisplayMemo->Clear();
  Mail_Error->Hide();
  // A trip file gone since the window opened: said before any connection.
  if (const std::string missing = MissingAttachment(); !missing.empty()) {
    ShowResult(missing, clYellow);
    return;
  }
  ToEdit->Text = Sel_MailTo->Text;
  SendStep = 10;
  TSmtpCli& c = *SmtpClient;
  AccountToClient();
  c.HdrTo = Sel_MailTo->Text;
  // Without an account name there is nothing to log in with: a server that
  // relays without authentication is greeted with HELO alone.
  c.AuthType = SmtpTrim(KW_Edit->Text).empty() ? smtpAuthNone : smtpAuthLogin;
  Bar->Tag = 0;
  Bar->Position = 0;
  Bar->Show();
  // The text is kept for the next opening; the mail goes even when it cannot be.
  if (!MsgMemo->Lines.SaveToFile(FsPath(MailMemoPath)))
    Application().MessageBox(
        Words("Der Mailtext lässt sich nicht in "_w + MailMemoPath +
                      " speichern: die Mail wird trotzdem gesendet, beim nächsten Öffnen steht der Text aber "
                      "nicht bereit."_w,
                  "Cannot save the mail text to " + MailMemoPath +
                      ": the mail is sent all the same, but the text will not be there at the next opening.",
                  "No se puede guardar el texto del email en " + MailMemoPath +
                      ": el email se envía de todos modos, pero el texto no estará la próxima vez que se "
                      "abra."_w),
        "tavlog", MB_OK | MB_ICONWARNING);
  last_activity_ = TickCount();
  awaiting_data_end_ = checking_shown_ = false;
  StallTimer->SetInterval(std::clamp(std::min(InactivityLimitMs, CheckingNoticeMs) / 4, 10, 1000));
  StallTimer->SetEnabled(true);
  try {
    c.Open();
  } catch (const std::exception& e) {
    Fail(e.what());
  }
}

void TForm80::StartMail() {
  TSmtpCli& c = *SmtpClient;
  c.RcptName.Clear();
  // The parts between ';', trimmed; empty ones name nobody.
  const std::string& to = ToEdit->Text;
  for (std::size_t start = 0;;) {
    const std::size_t end = to.find(';', start);
    std::string item = SmtpTrim(std::string_view(to).substr(start, end == std::string::npos ? end : end - start));
    if (!item.empty()) c.RcptName.Add(item);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  SendStep = 11;
  c.HdrFrom = FromEdit->Text;
  c.HdrTo = Sel_MailTo->Text;
  c.HdrSubject = SubjectEd_1->Text;
  c.SignOn = SignOnEdit->Text;
  c.FromName = FromEdit->Text;
  if (const std::string missing = MissingAttachment(); !missing.empty()) throw std::runtime_error(missing);
  // The paths are the program's Windows-1252 texts; the client opens them
  // as they are, so it gets them in the file system's form.
  TStringList files;
  for (const std::string& line : FileAttachMemo->Lines) files.Add(FsPath(SmtpTrim(line)).string());
  c.SetEMailFiles(files);
  c.Host = HostEdit->Text;
  c.Port = PortEdit->Text;
  c.Mail();
}

void TForm80::SmtpClientRequestDone(TCustomSmtpClient*, TSmtpRequest request, uint16_t error) {
  awaiting_data_end_ = false;
  AppendLog(Format("RequestDone Rq=%i Error=%i", static_cast<int>(request), static_cast<int>(error)));
  if (SendStep == 10 && request == smtpOpen) {
    if (error == 0) {
      try {
        StartMail();
      } catch (const std::exception& e) {
        Fail(e.what());
        return;
      }
      AppendLog("CLICK SEND_MAIL");
      return;
    }
    Fail(FailureText(request, error));
  } else if (SendStep == 11 && request == smtpMail) {
    if (error != 0) {
      Fail(FailureText(request, error));
      return;
    }
    QuitButtonClick(nullptr);
    AppendLog("CLICK_QUIT");
    ShowResult(MsgMailSent, clLime);
    B_Break->SetFocus();
  } else if (SendStep == 99 && request == smtpQuit && quitting_) {
    quitting_ = false;
    StallTimer->SetEnabled(false);
  }
}

std::string TForm80::FailureText(TSmtpRequest request, int error) const {
  if (request == smtpOpen) {
    if (error == 535) return MsgBadAccount;
    if (error == 11001) return MsgOffline;
    if (error == 11004) return MsgHostError;
    // The client ends a failed connection with 500, which is no reply of the server.
    if (error == 500 && SmtpClient->ConnectError() != 0) return ConnectFailureText(SmtpClient->ConnectError());
  }
  // Codes from 10000 on are the socket's, the others the server's replies.
  const bool socket = error >= 10000;
  std::string what;
  if (request == smtpOpen && socket)
    what = Words("Keine Verbindung zum Mailserver", "No connection to the mail server",
                     "Sin conexión con el servidor"_w);
  else if (request == smtpOpen)
    what = Words("Verbindung oder Anmeldung abgelehnt", "Connection or login refused",
                     "Conexión o inicio de sesión rechazados"_w);
  else if (socket)
    what = Words("Verbindung zum Mailserver abgebrochen", "Connection to the mail server lost",
                     "Conexión con el servidor cortada"_w);
  else
    what = Words("Mail vom Server abgelehnt", "Mail refused by the server",
                     "Email rechazado por el servidor"_w);
  return what + " (" + std::to_string(error) + ")";
}

std::string TForm80::ConnectFailureText(int socket_error) const {
  const std::string& host = SmtpClient->Host;
  const std::string& port = SmtpClient->Port;
  const std::string code = " (" + Words("Socket-Fehler ", "socket error ", "error de socket ") +
                           std::to_string(socket_error) + ")";
  if (socket_error == kWsaEConnRefused)
    return Words("Verbindung abgelehnt von " + host + ", Port " + port,
                     "Connection refused by " + host + ", port " + port,
                     "Conexión rechazada por "_w + host + ", puerto " + port) +
           code;
  return Words("Keine Verbindung zu " + host + ", Port " + port, "No connection to " + host + ", port " + port,
                   "Sin conexión con "_w + host + ", puerto " + port) +
         code;
}

std::string TForm80::MsgChecking() const {
  return Words("Der Server prüft die Mail noch (bis zu 10 Min.)"_w,
                   "The server is still checking the mail (up to 10 min)",
                   "El servidor aún comprueba el email (hasta 10 min)"_w);
}

std::string TForm80::MsgNotConfirmed() const {
  return Words("Unbestätigt: die Mail kann dennoch angekommen sein"_w,
                   "Not confirmed: the mail may have arrived anyway",
                   "Sin confirmar: puede que el email haya llegado"_w);
}

std::string TForm80::MsgNoAnswer() const {
  return Words("Mailserver antwortet nicht: Senden abgebrochen", "Mail server does not answer: sending stopped",
                   "El servidor no responde: envío cancelado"_w);
}

void TForm80::ShowResult(const std::string& text, TColor color) {
  Mail_Error->Text = text;
  Mail_Error->Hint = text;  // whole where the line is too narrow for it
  Mail_Error->Color = color;
  Mail_Error->Show();
}

void TForm80::Fail(const std::string& text) {
  ShowResult(text, clYellow);
  SendStep = 0;
  QuitButtonClick(nullptr);
}

void TForm80::QuitButtonClick(TControl*) {
  SendStep = 99;
  quitting_ = true;
  try {
    SmtpClient->Quit();  // ends at once when not connected
  } catch (const std::exception&) {
    // Still inside a request: the connection is dropped instead.
    AbortSend();
  }
  Bar->Hide();
  FileAttachMemo->Show();
}

void TForm80::AbortSend() {
  const bool was_sending = Sending();
  SendStep = 0;
  quitting_ = false;
  awaiting_data_end_ = false;
  StallTimer->SetEnabled(false);
  if (was_sending) SmtpClient->Abort();
  Bar->Hide();
  FileAttachMemo->Show();
}

void TForm80::StallCheck() {
  if (!Sending()) {
    StallTimer->SetEnabled(false);
    return;
  }
  const int waited = static_cast<int>(TickCount() - last_activity_);
  const bool data_end = awaiting_data_end_ && SendStep == 11;
  if (data_end && !checking_shown_ && waited >= CheckingNoticeMs) {
    // Nothing moves meanwhile: the text takes the progress bar's place.
    checking_shown_ = true;
    Bar->Hide();
    ShowResult(MsgChecking(), clInfoBk);
  }
  if (waited < (data_end ? DataEndLimitMs : InactivityLimitMs)) return;
  // A silent server after the mail went out only holds up the goodbye.
  const bool mail_sent = SendStep == 99;
  AbortSend();
  if (!mail_sent) ShowResult(data_end ? MsgNotConfirmed() : MsgNoAnswer(), clYellow);
}

void TForm80::B_BreakClick(TControl*) {
  Mail_Error->Hide();
  Close();
}

void TForm80::FormClose(TControl*, TCloseAction&) { AbortSend(); }

// ---------------------------------------------------------------- log and message

namespace {
// A reply line that another line of the same reply must follow ("< 250-...").
bool ContinuesReply(const std::string& log_line) {
  if (log_line.size() < 6 || log_line.compare(0, 2, "< ") != 0 || log_line[5] != '-') return false;
  return std::all_of(log_line.begin() + 2, log_line.begin() + 5, [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

void TForm80::AppendLog(const std::string& text) {
  // Only a reply that has ended is an answer: a server that keeps sending
  // the lines of an unending reply is as silent as one that sends nothing.
  if (!ContinuesReply(text)) last_activity_ = TickCount();
  if (DisplayMemo->Lines.Count() > kLogLines) DisplayMemo->Clear();
  DisplayMemo->Lines.Add(text);
  // The progress bar moves on with the log.
  if (++Bar->Tag % kChangesPerStep == 0 && ++Bar->Position > 99) Bar->Position = 0;
}

void TForm80::SmtpClientDisplay(TCustomSmtpClient*, const std::string& msg) { AppendLog(msg); }

void TForm80::SmtpClientSessionConnected(TCustomSmtpClient*, int) { AppendLog("------ CONECTED ------"); }

void TForm80::SmtpClientCommand(TCustomSmtpClient*, const std::string& command) {
  // "." alone is the end of the message (the body's own dots are data, no command).
  awaiting_data_end_ = command == ".";
}

void TForm80::SmtpClientGetData(TCustomSmtpClient*, int line_num, std::string& line, int, bool& more) {
  // Line n is the text's line n; a long line goes whole (the client codes it
  // for the wire), nothing of the text is cut.
  if (line_num < 1 || line_num > MsgMemo->Lines.Count()) {
    more = false;
    return;
  }
  line = MsgMemo->Lines[line_num - 1];
}
