// TForm80: sending. B_Send opens the connection; each step follows from the
// end of the request before it (OnRequestDone), never from the text of a log
// line, so a server reply holding "Error=" cannot end a step.
#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/core_data.h"
#include "mail/mail_form.h"
#include "mail/smtp_util.h"
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
  c.OnGetData = [this](TCustomSmtpClient* s, int n, std::string& line, int max, bool& more) {
    SmtpClientGetData(s, n, line, max, more);
  };
  c.OnHeaderLine = [this](TCustomSmtpClient* s, std::string& line, int size) { SmtpClientHeaderLine(s, line, size); };
}

std::string TForm80::MissingAttachment() const {
  for (const std::string& line : FileAttachMemo->Lines) {
    const std::string name = SmtpTrim(line);
    std::error_code ec;
    if (!name.empty() && !std::filesystem::is_regular_file(FsPath(name), ec))
      return MailWords("Anhang fehlt: ", "Attachment missing: ", "Falta el adjunto: ") +
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
        MailWords("Der Mailtext lässt sich nicht in "_w + MailMemoPath +
                      " speichern: die Mail wird trotzdem gesendet, beim nächsten Öffnen steht der Text aber "
                      "nicht bereit."_w,
                  "Cannot save the mail text to " + MailMemoPath +
                      ": the mail is sent all the same, but the text will not be there at the next opening.",
                  "No se puede guardar el texto del email en " + MailMemoPath +
                      ": el email se envía de todos modos, pero el texto no estará la próxima vez que se "
                      "abra."_w),
        "tavlog", MB_OK | MB_ICONWARNING);
  last_activity_ = TickCount();
  StallTimer->SetInterval(std::clamp(InactivityLimitMs / 4, 10, 1000));
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
  }
  // Codes from 10000 on are the socket's, the others the server's replies.
  const bool socket = error >= 10000;
  std::string what;
  if (request == smtpOpen && socket)
    what = MailWords("Keine Verbindung zum Mailserver", "No connection to the mail server",
                     "Sin conexión con el servidor"_w);
  else if (request == smtpOpen)
    what = MailWords("Verbindung oder Anmeldung abgelehnt", "Connection or login refused",
                     "Conexión o inicio de sesión rechazados"_w);
  else if (socket)
    what = MailWords("Verbindung zum Mailserver abgebrochen", "Connection to the mail server lost",
                     "Conexión con el servidor cortada"_w);
  else
    what = MailWords("Mail vom Server abgelehnt", "Mail refused by the server",
                     "Email rechazado por el servidor"_w);
  return what + " (" + std::to_string(error) + ")";
}

std::string TForm80::MsgNoAnswer() const {
  return MailWords("Mailserver antwortet nicht: Senden abgebrochen", "Mail server does not answer: sending stopped",
                   "El servidor no responde: envío cancelado"_w);
}

void TForm80::ShowResult(const std::string& text, TColor color) {
  Mail_Error->Text = text;
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
  if (static_cast<int>(TickCount() - last_activity_) < InactivityLimitMs) return;
  // A silent server after the mail went out only holds up the goodbye.
  const bool mail_sent = SendStep == 99;
  AbortSend();
  if (!mail_sent) ShowResult(MsgNoAnswer(), clYellow);
}

void TForm80::B_BreakClick(TControl*) {
  Mail_Error->Hide();
  Close();
}

void TForm80::FormClose(TControl*, TCloseAction&) { AbortSend(); }

// ---------------------------------------------------------------- log and message

void TForm80::AppendLog(const std::string& text) {
  last_activity_ = TickCount();
  if (DisplayMemo->Lines.Count() > kLogLines) DisplayMemo->Clear();
  DisplayMemo->Lines.Add(text);
  // The progress bar moves on with the log.
  if (++Bar->Tag % kChangesPerStep == 0 && ++Bar->Position > 99) Bar->Position = 0;
}

void TForm80::SmtpClientDisplay(TCustomSmtpClient*, const std::string& msg) { AppendLog(msg); }

void TForm80::SmtpClientSessionConnected(TCustomSmtpClient*, int) { AppendLog("------ CONECTED ------"); }

void TForm80::SmtpClientGetData(TCustomSmtpClient*, int line_num, std::string& line, int, bool& more) {
  // Line n is the text's line n; a long line goes whole (the client codes it
  // for the wire), nothing of the text is cut.
  if (line_num < 1 || line_num > MsgMemo->Lines.Count()) {
    more = false;
    return;
  }
  line = MsgMemo->Lines[line_num - 1];
}

void TForm80::SmtpClientHeaderLine(TCustomSmtpClient*, std::string& line, int) {
  if (line.size() >= 5 && strncasecmp(line.c_str(), "From:", 5) == 0) line += "\r\nComments: This is a test";
}
