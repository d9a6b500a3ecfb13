// The SMTP client through a whole dialogue with a scripted server on
// 127.0.0.1: every step (greeting, EHLO and the HELO fallback, AUTH LOGIN,
// MAIL FROM, each RCPT TO, DATA, the end of the message, QUIT) answered well
// and badly, and every reply delivered whole, cut into pieces (in the code,
// in the text, between CR and LF) or one byte at a time. Each case checks
// the exact lines the server received and the request ends the client
// reported, with their codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "mail/smtp.h"
#include "smtp_test_support.h"

using namespace tav;
using namespace tav::smtptest;

namespace {

// The server: the script with its peer, started by Start().
class DialogueServer : public DialogueScript {
 public:
  void Start() {
    peer_ = std::make_unique<ScriptedPeer>(Chunks(banner), [this](const std::string& line) { return Answer(line); });
  }
  std::string PortStr() const { return peer_->PortStr(); }
  bool ClientClosed() const { return peer_->ClientClosed(); }

 private:
  std::unique_ptr<ScriptedPeer> peer_;
};

// A client with the account, the sender, two recipients and two text lines.
void Address(TSmtpCli& c, const DialogueServer& server) {
  c.Host = "127.0.0.1";
  c.Port = server.PortStr();
  c.SignOn = "Name";
  c.AuthType = smtpAuthLogin;
  c.Username = "tim";
  c.Password = "geheim";
  c.FromName = "Rider <rider@x.org>";
  c.RcptName.Add("coach@x.org");
  c.RcptName.Add("Club <club@x.org>");
  c.MailMessage.Add("Hallo");
  c.MailMessage.Add(".dot");
  c.HdrFrom = "rider@x.org";
  c.HdrTo = "coach@x.org";
  c.HdrSubject = "Fahrt";
}

// What a dialogue gave: the ends reported (request and code, in order), the
// error line of the failing request, and what the server got.
struct Outcome {
  std::vector<std::pair<TSmtpRequest, int>> ends;
  std::string error_message;
  std::vector<std::string> received;
  std::vector<std::string> body;
  std::vector<std::string> display;
};

// Open, then Mail when the opening went well, then Quit.
Outcome RunDialogue(DialogueServer& server) {
  server.Start();
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  Address(c, server);
  Outcome out;
  auto run = [&](void (TCustomSmtpClient::*request)()) {
    const bool ended = rec.Run([&] { (c.*request)(); }, 8000);
    EXPECT_TRUE(ended) << "no end reported";
    if (ended && rec.LastError() != 0 && out.error_message.empty()) out.error_message = c.ErrorMessage();
    return ended && rec.LastError() == 0;
  };
  if (run(&TCustomSmtpClient::Open)) run(&TCustomSmtpClient::Mail);
  run(&TCustomSmtpClient::Quit);
  PumpFor(20);  // nothing more may be reported
  out.ends = rec.done;
  out.received = server.received;
  out.body = server.body;
  out.display = rec.display;
  return out;
}

using Ends = std::vector<std::pair<TSmtpRequest, int>>;
using Lines = std::vector<std::string>;

struct Row {
  const char* what;
  std::map<std::string, std::string> replies;  // changed replies ("BANNER": the greeting)
  Ends ends;
  Lines received;
  std::string error_message;  // of the first failing request
};

const Lines kAllCommands = {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kEnd, kQuit};
const Ends kAllWell = {{smtpOpen, 0}, {smtpMail, 0}, {smtpQuit, 0}};

std::vector<Row> Rows() {
  return {
      {"all well", {}, kAllWell, kAllCommands, ""},
      {"greeting in three lines", {{"BANNER", "220-mail.test\r\n220-no spam\r\n220 ready\r\n"}}, kAllWell, kAllCommands,
       ""},
      {"greeting refused", {{"BANNER", "554 5.3.2 no service\r\n"}}, {{smtpOpen, 554}, {smtpQuit, 0}}, {},
       "554 5.3.2 no service"},
      {"greeting busy, in two lines", {{"BANNER", "421-mail.test\r\n421 4.3.2 try later\r\n"}},
       {{smtpOpen, 421}, {smtpQuit, 0}}, {}, "421 4.3.2 try later"},
      {"greeting malformed", {{"BANNER", "hello there\r\n"}}, {{smtpOpen, 500}, {smtpQuit, 0}}, {},
       "500 Invalid reply from server: hello there"},
      {"closed before the greeting", {{"BANNER", "CLOSE"}}, {{smtpOpen, 10004}, {smtpQuit, 0}}, {}, ""},
      {"EHLO unknown: HELO, no login", {{kEhlo, "502 5.5.1 command not implemented\r\n"}}, kAllWell,
       {kEhlo, kHelo, kFrom, kTo1, kTo2, kData, kEnd, kQuit}, ""},
      {"EHLO and HELO unknown", {{kEhlo, "500 what\r\n"}, {kHelo, "502 no\r\n"}}, {{smtpOpen, 502}, {smtpQuit, 0}},
       {kEhlo, kHelo, kQuit}, "500 what"},
      {"EHLO answered malformed", {{kEhlo, "250-mail.test\r\n25O AUTH LOGIN\r\n"}}, {{smtpOpen, 500}, {smtpQuit, 0}},
       {kEhlo}, ""},
      {"AUTH LOGIN refused", {{kAuth, "504 5.5.4 mechanism not supported\r\n"}}, {{smtpOpen, 504}, {smtpQuit, 0}},
       {kEhlo, kAuth, kQuit}, "504 5.5.4 mechanism not supported"},
      {"account refused", {{kUser, "535 5.7.8 bad user\r\n"}}, {{smtpOpen, 535}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kQuit}, "535 5.7.8 bad user"},
      {"password refused", {{kPass, "535 5.7.8 Authentication credentials invalid\r\n"}},
       {{smtpOpen, 535}, {smtpQuit, 0}}, {kEhlo, kAuth, kUser, kPass, kQuit},
       "535 5.7.8 Authentication credentials invalid"},
      {"password asked again", {{kPass, "334 UGFzc3dvcmQ6\r\n"}}, {{smtpOpen, 334}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kPass, kQuit}, "334 UGFzc3dvcmQ6"},
      {"login failing for now", {{kPass, "454 4.7.0 Temporary authentication failure\r\n"}},
       {{smtpOpen, 454}, {smtpQuit, 0}}, {kEhlo, kAuth, kUser, kPass, kQuit},
       "454 4.7.0 Temporary authentication failure"},
      {"login in two lines", {{kPass, "235-2.7.0 welcome\r\n235 2.7.0 Authentication successful\r\n"}}, kAllWell,
       kAllCommands, ""},
      {"closed after the account", {{kUser, "CLOSE"}}, {{smtpOpen, 10004}, {smtpQuit, 0}}, {kEhlo, kAuth, kUser}, ""},
      {"sender refused", {{kFrom, "553 5.1.8 sender refused\r\n"}}, {{smtpOpen, 0}, {smtpMail, 553}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kPass, kFrom, kQuit}, "553 5.1.8 sender refused"},
      {"sender: local error", {{kFrom, "451 4.3.0 local error\r\n"}}, {{smtpOpen, 0}, {smtpMail, 451}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kPass, kFrom, kQuit}, "451 4.3.0 local error"},
      {"first recipient refused", {{kTo1, "550 5.1.1 unknown user\r\n"}}, kAllWell, kAllCommands, ""},
      {"second recipient refused", {{kTo2, "550 5.1.1 unknown user\r\n"}}, kAllWell, kAllCommands, ""},
      {"recipient forwarded", {{kTo1, "251 2.1.5 will forward\r\n"}, {kTo2, "251 2.1.5 will forward\r\n"}}, kAllWell,
       kAllCommands, ""},
      {"both recipients refused",
       {{kTo1, "550 5.1.1 unknown user\r\n"}, {kTo2, "452 4.5.3 too many recipients\r\n"}},
       {{smtpOpen, 0}, {smtpMail, 550}, {smtpQuit, 0}}, {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kQuit},
       "550 5.1.1 unknown user\r\n452 4.5.3 too many recipients"},
      {"closed at a recipient", {{kTo1, "CLOSE"}}, {{smtpOpen, 0}, {smtpMail, 10004}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kPass, kFrom, kTo1}, ""},
      {"DATA refused", {{kData, "554 5.5.1 no valid recipients\r\n"}}, {{smtpOpen, 0}, {smtpMail, 554}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kQuit}, "554 5.5.1 no valid recipients"},
      {"DATA answered 250", {{kData, "250 2.0.0 Ok\r\n"}}, {{smtpOpen, 0}, {smtpMail, 250}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kQuit}, "250 2.0.0 Ok"},
      {"message too big", {{kEnd, "552 5.3.4 message too big\r\n"}}, {{smtpOpen, 0}, {smtpMail, 552}, {smtpQuit, 0}},
       kAllCommands, "552 5.3.4 message too big"},
      {"message: queue error", {{kEnd, "451 4.3.0 queue error\r\n"}}, {{smtpOpen, 0}, {smtpMail, 451}, {smtpQuit, 0}},
       kAllCommands, "451 4.3.0 queue error"},
      {"message answered 354", {{kEnd, "354 go on\r\n"}}, {{smtpOpen, 0}, {smtpMail, 354}, {smtpQuit, 0}},
       kAllCommands, "354 go on"},
      {"message taken in two lines", {{kEnd, "250-2.0.0 Ok\r\n250 2.0.0 queued as 4711\r\n"}}, kAllWell, kAllCommands,
       ""},
      {"closed at the message's end", {{kEnd, "CLOSE"}}, {{smtpOpen, 0}, {smtpMail, 10004}, {smtpQuit, 0}},
       {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kEnd}, ""},
      {"QUIT answered and kept open", {{kQuit, "221 2.0.0 Bye\r\n"}}, kAllWell, kAllCommands, ""},
      {"QUIT refused", {{kQuit, "500 5.5.2 what\r\n"}}, kAllWell, kAllCommands, ""},
  };
}

std::string Named(Cut cut) { return cut == Cut::kWhole ? "whole" : cut == Cut::kPieces ? "in pieces" : "bytewise"; }

void CheckRow(const Row& row, Cut cut) {
  SCOPED_TRACE(std::string(row.what) + ", replies " + Named(cut));
  DialogueServer server;
  server.cut = cut;
  for (const auto& [key, reply] : row.replies) (key == "BANNER" ? server.banner : server.replies[key]) = reply;
  const Outcome out = RunDialogue(server);
  EXPECT_EQ(out.ends, row.ends);
  EXPECT_EQ(out.received, row.received);
  if (!row.error_message.empty()) {
    EXPECT_EQ(out.error_message, row.error_message);
  }
  // A message that went: its text, the dot doubled, after the headers.
  if (row.ends == kAllWell) {
    // Without files the text is the whole message, labelled in the header.
    EXPECT_NE(std::find(out.body.begin(), out.body.end(), "Content-Type: text/plain; charset=\"iso-8859-1\""),
              out.body.end());
    ASSERT_GE(out.body.size(), 2u);
    EXPECT_EQ(Lines(out.body.end() - 2, out.body.end()), (Lines{"Hallo", "..dot"}));
  }
}

}  // namespace

TEST(SmtpDialogue, EveryStepAnsweredWellOrBadlyWithRepliesWhole) {
  for (const Row& row : Rows()) CheckRow(row, Cut::kWhole);
}

TEST(SmtpDialogue, EveryStepAnsweredWellOrBadlyWithRepliesInPieces) {
  for (const Row& row : Rows()) CheckRow(row, Cut::kPieces);
}

// Every reply of a whole send a byte at a time.
TEST(SmtpDialogue, RepliesOneByteAtATime) {
  for (const Row& row : Rows())
    if (std::string(row.what) == "all well" || std::string(row.what) == "password refused" ||
        std::string(row.what) == "message taken in two lines")
      CheckRow(row, Cut::kBytes);
}

// What the log shows of a send: each command after "> ", each reply line
// after "< ", the account and the password masked.
TEST(SmtpDialogue, TheLogShowsEachCommandAndReplyLine) {
  DialogueServer server;
  server.cut = Cut::kPieces;
  const Outcome out = RunDialogue(server);
  ASSERT_EQ(out.ends, kAllWell);
  const Lines before_data = {"< 220 mail.test ESMTP",
                             "> EHLO Name",
                             "< 250-mail.test",
                             "< 250-AUTH LOGIN PLAIN",
                             "< 250 8BITMIME",
                             "> AUTH LOGIN",
                             "< 334 VXNlcm5hbWU6",
                             "> ********",
                             "< 334 UGFzc3dvcmQ6",
                             "> ********",
                             "< 235 2.7.0 Authentication successful",
                             "> MAIL FROM:<rider@x.org>",
                             "< 250 2.1.0 Ok",
                             "> RCPT TO:<coach@x.org>",
                             "< 250 2.1.5 Ok",
                             "> RCPT TO:<club@x.org>",
                             "< 250 2.1.5 Ok",
                             "> DATA",
                             "< 354 End data with <CR><LF>.<CR><LF>"};
  ASSERT_GE(out.display.size(), before_data.size() + 5);
  EXPECT_EQ(Lines(out.display.begin(), out.display.begin() + static_cast<long>(before_data.size())), before_data);
  const Lines after_data = {"> Hallo", "> .dot", "> .", "< 250 2.0.0 Ok: queued as 4711", "> QUIT",
                            "< 221 2.0.0 Bye"};
  EXPECT_EQ(Lines(out.display.end() - static_cast<long>(after_data.size()), out.display.end()), after_data);
}

// Several replies in one packet: the greeting with the answer to EHLO, and
// the answer to MAIL FROM with those to both RCPT TO, each taken as the
// answer to the command it belongs to.
TEST(SmtpDialogue, SeveralRepliesInOnePacket) {
  Lines got;
  bool in_data = false;
  ScriptedPeer peer({Send("220 mail.test ESMTP\r\n250-mail.test\r\n250 AUTH LOGIN\r\n")},
                    [&](const std::string& line) -> std::vector<Chunk> {
                      if (in_data) {
                        if (line != ".") return {};
                        in_data = false;
                      }
                      got.push_back(line);
                      if (line == kEhlo || line == kTo1 || line == kTo2) return {};  // answered ahead
                      if (line == kAuth) return {Send("334 VXNlcm5hbWU6\r\n")};
                      if (line == kUser) return {Send("334 UGFzc3dvcmQ6\r\n")};
                      if (line == kPass) return {Send("235 2.7.0 ok\r\n")};
                      if (line == kFrom) return {Send("250 2.1.0 Ok\r\n250 2.1.5 Ok\r\n550 5.1.1 no such user\r\n")};
                      if (line == kData) {
                        in_data = true;
                        return {Send("354 go ahead\r\n")};
                      }
                      if (line == kEnd) return {Send("250 2.0.0 queued\r\n")};
                      return {Send("221 2.0.0 Bye\r\n"), CloseConn()};
                    });
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  c.Host = "127.0.0.1";
  c.Port = peer.PortStr();
  c.SignOn = "Name";
  c.AuthType = smtpAuthLogin;
  c.Username = "tim";
  c.Password = "geheim";
  c.FromName = "rider@x.org";
  c.RcptName.Add("coach@x.org");
  c.RcptName.Add("club@x.org");
  c.MailMessage.Add("Hallo");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.done, (Ends{{smtpOpen, 0}, {smtpMail, 0}}));
  // The refusal of the second recipient is kept as the mail's error line.
  EXPECT_EQ(c.ErrorMessage(), "550 5.1.1 no such user");
  EXPECT_EQ(got, (Lines{kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kEnd}));
}

// The other ways to log in: AUTH PLAIN with the account and the password in
// one Base64 line (an empty authorisation name, then "tim" and "geheim",
// each after a NUL), and CRAM-MD5 answered with the worked example of RFC
// 2195 (user "tim", password "tanstaaftanstaaf"); a CRAM-MD5 challenge too
// short to hold anything ends the opening before any answer is sent.
TEST(SmtpDialogue, AuthPlainAndCramMd5) {
  struct Row {
    const char* what;
    TSmtpAuthType type;
    std::string password;
    std::map<std::string, std::string> replies;
    Ends ends;
    Lines received;
  };
  const std::string cram = "AUTH CRAM-MD5", plain = "AUTH PLAIN AHRpbQBnZWhlaW0=",
                    cram_answer = "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw";
  const Row rows[] = {
      {"plain", smtpAuthPlain, "geheim", {{plain, "235 2.7.0 ok\r\n"}}, kAllWell,
       {kEhlo, plain, kFrom, kTo1, kTo2, kData, kEnd, kQuit}},
      {"plain refused", smtpAuthPlain, "geheim", {{plain, "535 5.7.8 no\r\n"}}, {{smtpOpen, 535}, {smtpQuit, 0}},
       {kEhlo, plain, kQuit}},
      {"cram-md5", smtpAuthCramMD5, "tanstaaftanstaaf",
       {{cram, "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n"}, {cram_answer, "235 2.7.0 ok\r\n"}},
       kAllWell, {kEhlo, cram, cram_answer, kFrom, kTo1, kTo2, kData, kEnd, kQuit}},
      {"cram-md5 challenge empty", smtpAuthCramMD5, "tanstaaftanstaaf", {{cram, "334 \r\n"}},
       {{smtpOpen, 500}, {smtpQuit, 0}}, {kEhlo, cram, kQuit}},
      {"login answered 235 at once", smtpAuthLogin, "geheim", {{kAuth, "235 2.7.0 already\r\n"}},
       {{smtpOpen, 235}, {smtpQuit, 0}}, {kEhlo, kAuth, kQuit}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DialogueServer server;
    for (const auto& [key, reply] : row.replies) server.replies[key] = reply;
    server.Start();
    TSmtpCli c;
    Recorder rec;
    rec.Attach(c);
    Address(c, server);
    c.AuthType = row.type;
    c.Password = row.password;
    std::string open_response;
    ASSERT_TRUE(rec.Run([&] { c.Open(); }));
    open_response = c.LastResponse();
    if (rec.LastError() == 0) {
      ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
    }
    ASSERT_TRUE(rec.Run([&] { c.Quit(); }));
    EXPECT_EQ(rec.done, row.ends);
    EXPECT_EQ(server.received, row.received);
    if (std::string(row.what) == "cram-md5 challenge empty") {
      EXPECT_EQ(open_response, "500 Malformed MD5 Challege: 334 ");
    }
  }
}

// The message the server receives after DATA, line by line: the header
// block (the Date and Message-ID values aside), the text part and two trip
// files, one of 54 bytes (one Base64 line of 72 characters, by hand: "AAA"
// is "QUFB") and one empty, between boundaries named after the time of the
// send (month, day, two-digit year, hour, minute).
TEST(SmtpDialogue, TheMessageLineByLine) {
  TempDir dir("layout");
  const std::string trip = (dir.path() / "TRIP.DEO").string(), empty = (dir.path() / "LEER.DEO").string();
  WriteFileBytes(trip, std::string(54, 'A'));
  WriteFileBytes(empty, "");
  DialogueServer server;
  server.Start();
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  Address(c, server);
  c.HdrTo = "coach@x.org; Club <club@x.org>";
  c.SetEMailFiles(TStringList{trip, empty});
  // The boundary's time, taken before and after the send (a minute may turn).
  auto stamp = [] {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char s[64];
    std::snprintf(s, sizeof s, "%02d%02d%02d%02d%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year % 100, tm.tm_hour,
                  tm.tm_min);
    return std::string(s);
  };
  const std::string before = stamp();
  const std::time_t sent_from = std::time(nullptr);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  const std::time_t sent_to = std::time(nullptr);
  const std::string after = stamp();
  ASSERT_EQ(rec.done, (Ends{{smtpOpen, 0}, {smtpMail, 0}}));
  const Lines& got = server.body;
  // The boundary as the header names it.
  const std::string named = "\tboundary=\"= Multipart Boundary ";
  auto at = std::find_if(got.begin(), got.end(), [&](const std::string& l) { return l.rfind(named, 0) == 0; });
  ASSERT_NE(at, got.end()) << Joined(got);
  const std::string boundary = at->substr(named.size() - 21, at->size() - (named.size() - 21) - 1);
  EXPECT_TRUE(boundary == "= Multipart Boundary " + before || boundary == "= Multipart Boundary " + after) << boundary;
  auto value_of = [&](const std::string& name) {
    for (const std::string& l : got)
      if (l.rfind(name, 0) == 0) return l.substr(name.size());
    return std::string("(none)");
  };
  Lines want = {"From: rider@x.org",
                "To: coach@x.org,",
                "\tClub <club@x.org>",
                "Subject: Fahrt",
                "Sender: rider@x.org",
                "Mime-Version: 1.0",
                "Content-Type: multipart/mixed;",
                "\tboundary=\"" + boundary + "\"",
                "Date: " + value_of("Date: "),
                "Message-ID: " + value_of("Message-ID: "),
                "X-Mailer: " + ProjectMailer(),
                "",
                "This is a multipart MIME message.",
                "",
                "--" + boundary,
                "Content-Type: text/plain; charset=\"iso-8859-1\"",
                "Content-Transfer-Encoding: 7bit",
                "",
                "Hallo",
                "..dot",
                "",
                "--" + boundary,
                "Content-Type: application/octet-stream;",
                "\tname=\"TRIP.DEO\"",
                "Content-Transfer-Encoding: base64",
                "Content-Disposition: attachment;",
                "\tfilename=\"TRIP.DEO\"",
                "",
                "QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFB",
                "",
                "",
                "--" + boundary,
                "Content-Type: application/octet-stream;",
                "\tname=\"LEER.DEO\"",
                "Content-Transfer-Encoding: base64",
                "Content-Disposition: attachment;",
                "\tfilename=\"LEER.DEO\"",
                "",
                "",
                "",
                "--" + boundary + "--"};
  EXPECT_EQ(got, want) << Joined(got);
  // The Date in the mail's form, the time of the send in UTC ("Mon, 7 Dec
  // 2026 10:47:04 GMT": the day without a leading zero).
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::set<std::string> dates;
  for (std::time_t t = sent_from; t <= sent_to; ++t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char s[64];
    std::snprintf(s, sizeof s, "%s, %d %s %d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday, kMonths[tm.tm_mon],
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    dates.insert(s);
  }
  EXPECT_EQ(dates.count(value_of("Date: ")), 1u) << value_of("Date: ");
}

// Names and texts that need coding on their way: a subject with an umlaut
// as one encoded word (blanks as "_", the byte 0xFC as "=FC"); a file
// named with double quotes, whose quotes would end the name early; a file
// renamed with the euro sign (0x80), labelled windows-1252; and, with the
// caller's own headers, 8-bit lines going as they are.
TEST(SmtpDialogue, CodedSubjectAndFileNamesAndOwnHeaders) {
  TempDir dir("coded");
  const std::string quoted = (dir.path() / "Tour \"A\".DEO").string(), renamed = (dir.path() / "R.DEO").string();
  WriteFileBytes(quoted, "x");
  WriteFileBytes(renamed, "y");
  DialogueServer server;
  server.Start();
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  Address(c, server);
  c.HdrSubject = "Fahrt \xFC" "ber den Berg";
  c.SetEMailFiles(TStringList{quoted, renamed});
  c.OnAttachContentType = [](TSmtpCli*, int index, std::string&, std::string& name) {
    if (index == 1) name = "Fahrt \x80.DEO";
  };
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_EQ(rec.LastError(), 0) << c.ErrorMessage();
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  ASSERT_EQ(rec.LastError(), 0) << c.ErrorMessage();
  auto has = [&](const std::string& line) {
    return std::find(server.body.begin(), server.body.end(), line) != server.body.end();
  };
  for (const std::string line : {"Subject: =?iso-8859-1?Q?Fahrt_=FCber_den_Berg?=", "\tname=\"Tour _A_.DEO\"",
                                 "\tfilename=\"Tour _A_.DEO\"", "\tname*=windows-1252''Fahrt%20%80.DEO",
                                 "\tfilename*=windows-1252''Fahrt%20%80.DEO"})
    EXPECT_TRUE(has(line)) << line << "\n" << Joined(server.body);


  // Own headers: the lines exactly as given, 8-bit bytes and all.
  DialogueServer own_server;
  own_server.Start();
  TSmtpCli own;
  Recorder own_rec;
  own_rec.Attach(own);
  Address(own, own_server);
  own.MailMessage.Clear();
  own.OwnHeaders = true;
  for (const char* line : {"Subject: Gr\xFC\xDF", "", "Gr\xFC\xDF Gott", ".end"}) own.MailMessage.Add(line);
  ASSERT_TRUE(own_rec.Run([&] { own.Open(); }));
  ASSERT_EQ(own_rec.LastError(), 0) << own.ErrorMessage();
  ASSERT_TRUE(own_rec.Run([&] { own.Mail(); }));
  ASSERT_EQ(own_rec.LastError(), 0);
  EXPECT_EQ(own_server.body, (Lines{"Subject: Gr\xFC\xDF", "", "Gr\xFC\xDF Gott", "..end"}));
}
