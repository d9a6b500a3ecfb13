// The SMTP client against a scripted peer: replies no real server sends,
// broken connections, misuse, the data-phase rules and the blocking client.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "mail/base64.h"
#include "mail/md5.h"
#include "mail/smtp.h"
#include "smtp_test_support.h"

using namespace tav;
using namespace tav::smtptest;

namespace {

// A well-behaved server; replies[command word] replaces a default reply.
// Data lines are collected and answered only at the closing ".".
struct ServerScript {
  std::map<std::string, std::vector<Chunk>> replies;
  bool in_data = false;
  std::vector<std::string> data_lines;
  std::vector<std::string> commands;

  std::vector<Chunk> operator()(const std::string& line) {
    if (in_data) {
      if (line == ".") {
        in_data = false;
        return Reply(".", {Send("250 2.0.0 queued\r\n")});
      }
      data_lines.push_back(line);
      return {};
    }
    commands.push_back(line);
    std::string word = line.substr(0, line.find_first_of(" :"));
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (word == "EHLO")
      return Reply(word, {Send("250-test.local\r\n250-AUTH LOGIN PLAIN CRAM-MD5\r\n250 HELP\r\n")});
    if (word == "HELO") return Reply(word, {Send("250 test.local\r\n")});
    if (word == "MAIL" || word == "RCPT" || word == "RSET" || word == "VRFY")
      return Reply(word, {Send("250 OK\r\n")});
    if (word == "DATA") {
      auto r = Reply(word, {Send("354 go ahead\r\n")});
      in_data = !r.empty() && r[0].bytes.rfind("354", 0) == 0;
      return r;
    }
    if (word == "QUIT") return Reply(word, {Send("221 bye\r\n"), CloseConn()});
    return Reply(word, {Send("502 unknown\r\n")});
  }
  std::vector<Chunk> Reply(const std::string& word, std::vector<Chunk> def) {
    auto it = replies.find(word);
    return it == replies.end() ? def : it->second;
  }
};

const std::vector<Chunk> kBanner = {Send("220 test.local ESMTP\r\n")};

// A peer driven by a script that the test can still reach.
struct Peer {
  std::shared_ptr<ServerScript> script = std::make_shared<ServerScript>();
  std::unique_ptr<ScriptedPeer> peer;
  explicit Peer(std::vector<Chunk> banner = kBanner) {
    auto s = script;
    peer = std::make_unique<ScriptedPeer>(std::move(banner), [s](const std::string& l) { return (*s)(l); });
  }
};

void UsePeer(TCustomSmtpClient& c, const ScriptedPeer& p) {
  c.Host = "127.0.0.1";
  c.Port = p.PortStr();
  c.SignOn = "tester box";
}

bool Connected(TCustomSmtpClient& c, Recorder& rec) {
  return rec.Run([&] { c.Connect(); }) && rec.LastError() == 0;
}

}  // namespace

// ---------------------------------------------------------------- replies

TEST(SmtpReplies, Banner554EndsOpenWithItsCodeAndPlainConnectWith10004) {
  Peer p({Send("554 5.3.2 no service for you\r\n")});
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastRequest(), smtpOpen);
  EXPECT_EQ(rec.LastError(), 554);
  EXPECT_EQ(c.ErrorMessage(), "554 5.3.2 no service for you");
  EXPECT_FALSE(c.Connected());
  EXPECT_TRUE(p.script->commands.empty());  // no HELO after a refused banner
  EXPECT_FALSE(rec.done_inside_call);

  ASSERT_TRUE(rec.Run([&] { c.Connect(); }));
  EXPECT_EQ(rec.LastRequest(), smtpConnect);
  EXPECT_EQ(rec.LastError(), 10004);
  EXPECT_EQ(c.State(), smtpReady);
}

TEST(SmtpReplies, MultiLineRepliesSplitAcrossPacketsEndOnlyAtTheirLastLine) {
  Peer p({Send("220-first line\r\n"), Send("220-second", 30), Send(" line\r", 30), Send("\n220 ready\r\n", 30)});
  p.script->replies["EHLO"] = {Send("250-test.local\r\n250-AU"), Send("TH LOGIN PLAIN\r\n250-AUTH=CRAM-MD5\r", 40),
                               Send("\n250-SIZE 1000\r\n25", 40), Send("0 HELP\r\n", 40)};
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(Connected(c, rec));
  EXPECT_EQ(c.LastResponse(), "220 ready");
  std::size_t responses_before = rec.responses.size();
  ASSERT_TRUE(rec.Run([&] { c.Ehlo(); }));
  EXPECT_EQ(rec.LastError(), 0);
  EXPECT_EQ(rec.LastRequest(), smtpEhlo);
  EXPECT_EQ(rec.responses.size() - responses_before, 5u);
  EXPECT_EQ(c.LastResponse(), "250 HELP");
  EXPECT_TRUE(c.EsmtpSupported());
  EXPECT_EQ(c.AuthTypesSupported().Lines(), (std::vector<std::string>{"LOGIN", "PLAIN", "CRAM-MD5"}));
  EXPECT_EQ(p.script->commands.back(), "EHLO tester_box");
  // Every command is shown as "> " + command, every reply as "< " + line.
  EXPECT_NE(std::find(rec.display.begin(), rec.display.end(), "> EHLO tester_box"), rec.display.end());
  EXPECT_NE(std::find(rec.display.begin(), rec.display.end(), "< 250-AUTH=CRAM-MD5"), rec.display.end());
}

TEST(SmtpReplies, ManyShortLinesPastTheBufferSizeAreRead) {
  Peer p;
  std::string big;
  for (int i = 0; i < 300; ++i) big += "250-EXTENSION" + std::to_string(i) + " some words to fill\r\n";
  big += "250 HELP\r\n";
  p.script->replies["EHLO"] = {Send(big)};
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(Connected(c, rec));
  ASSERT_TRUE(rec.Run([&] { c.Ehlo(); }));
  EXPECT_EQ(rec.LastError(), 0);
  EXPECT_EQ(c.LastResponse(), "250 HELP");
}

TEST(SmtpReplies, LongLineThatStillFitsWaitsForItsLineEnd) {
  Peer p;
  std::string text(3000, 'y');
  p.script->replies["EHLO"] = {Send("250-" + text), Send("\r\n250 HELP\r\n", 60)};
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(Connected(c, rec));
  ASSERT_TRUE(rec.Run([&] { c.Ehlo(); }));
  EXPECT_EQ(rec.LastError(), 0);
  ASSERT_GE(rec.responses.size(), 2u);
  EXPECT_EQ(rec.responses[rec.responses.size() - 2], "250-" + text);
}

TEST(SmtpReplies, OverlongReplyLineEndsTheRequestAndDropsTheConnection) {
  Peer p;
  p.script->replies["EHLO"] = {Send("250-" + std::string(5000, 'x'))};  // and no line end, ever
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(Connected(c, rec));
  ASSERT_TRUE(rec.Run([&] { c.Ehlo(); }, 3000));
  EXPECT_EQ(rec.LastError(), 500);
  EXPECT_EQ(c.StatusCode(), 500);
  EXPECT_NE(c.ErrorMessage().find("too long"), std::string::npos);
  EXPECT_FALSE(c.Connected());
  EXPECT_TRUE(Pump([&] { return p.peer->ClientClosed(); }, 2000));
  EXPECT_EQ(rec.done.size(), 2u);  // Connect and Ehlo, nothing more
  PumpFor(50);
  EXPECT_EQ(rec.done.size(), 2u);
}

TEST(SmtpReplies, NonNumericReplyIsAProtocolErrorNotSuccess) {
  for (std::string bad : {"hello there", "25", "2500 too many digits", "abc OK"}) {
    Peer p;
    p.script->replies["EHLO"] = {Send(bad + "\r\n")};
    TSmtpCli c;
    c.AuthType = smtpAuthLogin;
    Recorder rec;
    rec.Attach(c);
    UsePeer(c, *p.peer);
    ASSERT_TRUE(rec.Run([&] { c.Open(); }, 3000)) << bad;
    EXPECT_EQ(rec.LastError(), 500) << bad;
    EXPECT_FALSE(c.Connected()) << bad;
    // No HELO fallback on a dead connection.
    EXPECT_EQ(p.script->commands.size(), 1u) << bad;
    EXPECT_EQ(rec.done.size(), 1u);
  }
  Peer p({Send("hello\r\n")});
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(rec.Run([&] { c.Connect(); }, 3000));
  EXPECT_EQ(rec.LastError(), 500);
}

// ---------------------------------------------------------------- connections

TEST(SmtpConnection, RefusedConnectionEndsWith500AndTheSocketText) {
  int port;
  {
    ScriptedPeer probe({}, [](const std::string&) { return std::vector<Chunk>{}; });
    port = std::stoi(probe.PortStr());
  }
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  c.Host = "127.0.0.1";
  c.Port = std::to_string(port);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastError(), 500);
  EXPECT_EQ(c.LastResponse(), "500 Connection refused (Winsock error #10061)");
  EXPECT_EQ(c.ErrorMessage(), c.LastResponse());
  EXPECT_EQ(c.State(), smtpReady);
}

TEST(SmtpConnection, EmptyHostFailsAsARequestNotAnException) {
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_NE(rec.LastError(), 0);
  EXPECT_FALSE(rec.done_inside_call);
  EXPECT_EQ(c.State(), smtpReady);
}

TEST(SmtpConnection, DisconnectInTheMiddleEndsTheRequest) {
  Peer p;
  p.script->replies["RCPT"] = {CloseConn()};
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastRequest(), smtpMail);
  EXPECT_EQ(rec.LastError(), 10004);
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(c.State(), smtpReady);
  PumpFor(30);
  EXPECT_EQ(rec.done.size(), 2u);
}

TEST(SmtpConnection, DisconnectDuringTheDataPhaseEndsTheRequest) {
  Peer p;
  auto script = p.script;
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  for (int i = 0; i < 20000; ++i) c.MailMessage.Add("line " + std::to_string(i));
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  bool closed = false;
  ASSERT_TRUE(rec.Run([&] {
    c.Mail();
    Pump([&] { return script->data_lines.size() > 50; }, 3000);
    p.peer.reset();  // the server goes away
    closed = true;
  }));
  EXPECT_TRUE(closed);
  EXPECT_EQ(rec.LastRequest(), smtpMail);
  EXPECT_NE(rec.LastError(), 0);
  EXPECT_FALSE(c.Connected());
}

TEST(SmtpConnection, EhloRefusedFallsBackToHeloAndSkipsAuth) {
  Peer p;
  p.script->replies["EHLO"] = {Send("502 5.5.1 not here\r\n")};
  TSmtpCli c;
  c.AuthType = smtpAuthLogin;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastError(), 0);
  ASSERT_EQ(p.script->commands.size(), 2u);
  EXPECT_EQ(p.script->commands[1], "HELO tester_box");
  EXPECT_TRUE(c.Connected());
}

TEST(SmtpConnection, EhloFailureOnAClosedConnectionDoesNotTryHelo) {
  Peer p;
  p.script->replies["EHLO"] = {Send("421 4.3.2 shutting down\r\n"), CloseConn()};
  TSmtpCli c;
  c.AuthType = smtpAuthPlain;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  PumpFor(50);
  EXPECT_NE(rec.LastError(), 0);
  EXPECT_EQ(rec.done.size(), 1u);
  EXPECT_EQ(p.script->commands.size(), 1u);
}

TEST(SmtpConnection, QuitWhenNotConnectedReportsFromTheLoop) {
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  ASSERT_TRUE(rec.Run([&] { c.Quit(); }));
  EXPECT_FALSE(rec.done_inside_call);
  EXPECT_EQ(rec.LastRequest(), smtpQuit);
  EXPECT_EQ(rec.LastError(), 0);
}

TEST(SmtpConnection, QuitEndsAlsoWhenTheServerKeepsTheConnection) {
  Peer p;
  p.script->replies["QUIT"] = {Send("221 bye\r\n")};  // but stays connected
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Quit(); }, 2000));
  EXPECT_EQ(rec.LastRequest(), smtpQuit);
  EXPECT_EQ(rec.LastError(), 0);
  EXPECT_FALSE(c.Connected());
  EXPECT_TRUE(Pump([&] { return p.peer->ClientClosed(); }, 2000));
}

TEST(SmtpConnection, AbortInTheMiddleOfMailReports426) {
  Peer p;
  p.script->replies["RCPT"] = {};  // the server never answers
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  c.Mail();
  ASSERT_TRUE(Pump([&] { return p.script->commands.size() == 3; }));
  ASSERT_TRUE(rec.Run([&] { c.Abort(); }));
  EXPECT_EQ(rec.LastRequest(), smtpMail);
  EXPECT_EQ(rec.LastError(), 426);
  EXPECT_EQ(c.ErrorMessage(), "426 Operation aborted.");
  EXPECT_EQ(c.State(), smtpReady);
  EXPECT_FALSE(c.Connected());
}

// ---------------------------------------------------------------- misuse

TEST(SmtpMisuse, WrongStateThrowsAndSendsNothing) {
  Peer p;
  p.script->replies["HELO"] = {Send("250 late\r\n", 150)};  // keeps the request running a while
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  try {
    c.Helo();
    FAIL() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_STREQ(e.what(), "SMTP component not connected");
  }
  try {
    c.Mail();
    FAIL() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_STREQ(e.what(), "SMTP component not connected");
  }
  ASSERT_TRUE(Connected(c, rec));
  try {
    c.Connect();
    FAIL() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_STREQ(e.what(), "SMTP component already connected");
  }
  try {
    c.Open();
    FAIL() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_STREQ(e.what(), "SMTP component already connected");
  }
  c.RcptName.Add("  ");
  try {
    c.RcptTo();
    FAIL() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_STREQ(e.what(), "RcptName list is empty");
  }
  c.Helo();
  for (auto call : {&TCustomSmtpClient::Rset, &TCustomSmtpClient::Ehlo, &TCustomSmtpClient::Quit,
                    &TCustomSmtpClient::Auth, &TCustomSmtpClient::Mail}) {
    try {
      (c.*call)();
      FAIL() << "no exception";
    } catch (const SmtpException& e) {
      EXPECT_STREQ(e.what(), "SMTP component not ready");
    }
  }
  PumpFor(30);
  EXPECT_EQ(p.script->commands, (std::vector<std::string>{"HELO tester_box"}));
  EXPECT_EQ(rec.done.size(), 1u);
  // The running request is untouched by the refused calls.
  ASSERT_TRUE(Pump([&] { return rec.done.size() == 2; }));
  EXPECT_EQ(rec.LastRequest(), smtpHelo);
  EXPECT_EQ(rec.LastError(), 0);
}

TEST(SmtpMisuse, LineBreaksInCommandsOrHeadersAreRefusedBeforeSending) {
  Peer p;
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  std::size_t sent = p.script->commands.size();
  std::size_t shown = rec.commands.size();

  c.HdrSubject = "Hello\r\nBcc: victim@z.org";
  EXPECT_THROW(c.Mail(), SmtpException);
  EXPECT_THROW(c.Data(), SmtpException);
  c.HdrSubject = "ok";
  c.HdrTo = std::string("a@b\0c", 5);
  EXPECT_THROW(c.Mail(), SmtpException);
  c.HdrTo = "you@y.org";
  c.FromName = "me@x.org>\r\nRCPT TO:<victim@z.org";
  EXPECT_THROW(c.Mail(), SmtpException);
  EXPECT_THROW(c.MailFrom(), SmtpException);
  c.FromName = "me@x.org";
  c.RcptName.Clear();
  c.RcptName.Add("you@y.org\nDATA");
  EXPECT_THROW(c.Mail(), SmtpException);
  EXPECT_THROW(c.RcptTo(), SmtpException);
  c.HdrTo = "x\ny";
  EXPECT_THROW(c.Vrfy(), SmtpException);
  PumpFor(30);
  EXPECT_EQ(p.script->commands.size(), sent);
  EXPECT_EQ(rec.commands.size(), shown);
  EXPECT_EQ(c.State(), smtpReady);

  TSmtpCli d;
  UsePeer(d, *p.peer);
  d.SignOn = "evil\r\nMAIL FROM:<x>";
  EXPECT_THROW(d.Open(), SmtpException);
  EXPECT_EQ(d.State(), smtpReady);
}

// ---------------------------------------------------------------- recipients

TEST(SmtpRecipients, OneAcceptedRecipientIsEnough) {
  auto script = std::make_shared<ServerScript>();
  int rcpt = 0;
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  // First RCPT refused, second accepted.
  ScriptedPeer peer(kBanner, [&, script](const std::string& line) -> std::vector<Chunk> {
    if (line.rfind("RCPT", 0) == 0) {
      ++rcpt;
      script->commands.push_back(line);
      return {Send(rcpt == 1 ? "550 5.1.1 unknown user\r\n" : rcpt == 2 ? "250 OK\r\n" : "553 5.1.3 bad\r\n")};
    }
    return (*script)(line);
  });
  UsePeer(c, peer);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  c.RcptName.Add("");
  c.RcptName.Add(" first@x.org ");
  c.RcptName.Add("");
  c.RcptName.Add("Second <second@x.org>");
  ASSERT_TRUE(rec.Run([&] { c.RcptTo(); }));
  EXPECT_EQ(rec.LastRequest(), smtpRcptTo);
  EXPECT_EQ(rec.LastError(), 0);
  EXPECT_EQ(c.ErrorMessage(), "550 5.1.1 unknown user");
  EXPECT_EQ(rcpt, 2);  // empty items are skipped
  EXPECT_EQ(script->commands[script->commands.size() - 2], "RCPT TO:<first@x.org>");
  EXPECT_EQ(script->commands.back(), "RCPT TO:<second@x.org>");

  // All refused: the first refusal's code, every refusal kept.
  rcpt = 2;
  c.RcptName.Clear();
  c.RcptName.Add("a@x.org");
  c.RcptName.Add("b@x.org");
  ASSERT_TRUE(rec.Run([&] { c.RcptTo(); }));
  EXPECT_EQ(rec.LastError(), 553);
  EXPECT_EQ(c.ErrorMessage(), "553 5.1.3 bad\r\n553 5.1.3 bad");
}

TEST(SmtpRecipients, FailingMailFromStopsMail) {
  Peer p;
  p.script->replies["MAIL"] = {Send("553 5.1.8 sender refused\r\n")};
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.FromName = "Me <me@x.org>";
  c.RcptName.Add("you@y.org");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastRequest(), smtpMail);
  EXPECT_EQ(rec.LastError(), 553);
  EXPECT_EQ(p.script->commands.back(), "MAIL FROM:<me@x.org>");
  EXPECT_TRUE(c.Connected());
}

TEST(SmtpRecipients, RcptNameAddSplitsTheThreeLists) {
  TSmtpCli c;
  c.RcptNameAdd("a@x; b@x", "\"Doe, J\" <j@x>", " , c@x ;");
  EXPECT_EQ(c.RcptName.Lines(), (std::vector<std::string>{"a@x", "b@x", "\"Doe, J\" <j@x>", "c@x"}));
}

// ---------------------------------------------------------------- data phase

TEST(SmtpData, EveryPhysicalLineIsDotStuffedAndLineEndsAreCrLf) {
  Peer p;
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  c.MailMessage.Add(".");
  c.MailMessage.Add(".x");
  c.MailMessage.Add("a\rb");
  c.MailMessage.Add("c\nd");
  c.MailMessage.Add("e\r\n.f");
  c.MailMessage.Add("end.");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastError(), 0);
  const std::string& raw = p.peer->Raw();
  auto body = raw.find("\r\n\r\n..\r\n");
  ASSERT_NE(body, std::string::npos) << raw;
  EXPECT_EQ(raw.substr(body + 4), "..\r\n..x\r\na\r\nb\r\nc\r\nd\r\ne\r\n..f\r\nend.\r\n.\r\n");
}

TEST(SmtpData, ServerReplyInTheMiddleOfTheDataEndsTheRequest) {
  auto script = std::make_shared<ServerScript>();
  bool said = false;
  ScriptedPeer peer(kBanner, [&, script](const std::string& line) -> std::vector<Chunk> {
    if (script->in_data && !said) {
      said = true;
      return {Send("554 5.6.0 we do not like this\r\n")};
    }
    return (*script)(line);
  });
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, peer);
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  for (int i = 0; i < 5000; ++i) c.MailMessage.Add("line " + std::to_string(i));
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastError(), 554);
  EXPECT_EQ(c.ErrorMessage(), "554 5.6.0 we do not like this");
}

TEST(SmtpData, OwnHeadersSendOnlyTheCallersLines) {
  Peer p;
  TCustomSmtpClient c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.OwnHeaders = true;
  std::vector<std::string> lines = {"Subject: mine", "", "body", ".hidden"};
  c.OnGetData = [&](TCustomSmtpClient*, int n, std::string& line, int max_len, bool& more) {
    EXPECT_EQ(max_len, 1023);
    if (n > static_cast<int>(lines.size())) {
      more = false;
      return;
    }
    line = lines[static_cast<std::size_t>(n - 1)];
  };
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastError(), 0);
  EXPECT_EQ(p.script->data_lines, (std::vector<std::string>{"Subject: mine", "", "body", "..hidden"}));
}

TEST(SmtpData, ExceptionInOnGetDataEndsTheBodyAndTheMessageIsClosed) {
  Peer p;
  TCustomSmtpClient c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.OnGetData = [&](TCustomSmtpClient*, int n, std::string& line, int, bool&) {
    if (n == 3) throw std::runtime_error("oops");
    line = "line " + std::to_string(n);
  };
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastError(), 0);
  ASSERT_GE(p.script->data_lines.size(), 2u);
  EXPECT_EQ(p.script->data_lines[p.script->data_lines.size() - 2], "line 1");
  EXPECT_EQ(p.script->data_lines.back(), "line 2");
}

// ---------------------------------------------------------------- AUTH

TEST(SmtpAuth, PlainSendsEmptyAuthzidAndCredentialsAreNeverShown) {
  const std::string user = "rider", pass = "s3cret-Pa55";
  for (TSmtpAuthType type : {smtpAuthPlain, smtpAuthLogin, smtpAuthCramMD5}) {
    auto script = std::make_shared<ServerScript>();
    std::string challenge = "<12345.678@test.local>";
    int step = 0;
    ScriptedPeer peer(kBanner, [&, script](const std::string& line) -> std::vector<Chunk> {
      script->commands.push_back(line);
      if (line.rfind("AUTH PLAIN ", 0) == 0) return {Send("235 ok\r\n")};
      if (line == "AUTH LOGIN") {
        step = 1;
        return {Send("334 VXNlcm5hbWU6\r\n")};
      }
      if (line == "AUTH CRAM-MD5") {
        step = 10;
        return {Send("334 " + Base64Encode(challenge) + "\r\n")};
      }
      if (step == 1) {
        step = 2;
        return {Send("334 UGFzc3dvcmQ6\r\n")};
      }
      if (step == 2 || step == 10) {
        step = 0;
        return {Send("235 ok\r\n")};
      }
      script->commands.pop_back();
      return (*script)(line);
    });
    TSmtpCli c;
    Recorder rec;
    rec.Attach(c);
    UsePeer(c, peer);
    c.AuthType = type;
    c.Username = user;
    c.Password = pass;
    c.FromName = "other@x.org";
    ASSERT_TRUE(rec.Run([&] { c.Open(); }));
    EXPECT_EQ(rec.LastError(), 0) << type;
    const auto& cmds = script->commands;
    if (type == smtpAuthPlain) {
      ASSERT_EQ(cmds.size(), 2u);
      EXPECT_EQ(Base64Decode(cmds[1].substr(11)), std::string("\0rider\0s3cret-Pa55", 18));
    } else if (type == smtpAuthLogin) {
      ASSERT_EQ(cmds.size(), 4u);
      EXPECT_EQ(Base64Decode(cmds[2]), user);
      EXPECT_EQ(Base64Decode(cmds[3]), pass);
    } else {
      ASSERT_EQ(cmds.size(), 3u);
      EXPECT_EQ(Base64Decode(cmds[2]), user + " " + DigestToHex(HmacMD5(pass, challenge), false));
    }
    // The lines that carry credentials on the wire.
    std::vector<std::string> secret = {cmds.back()};
    if (type == smtpAuthLogin) secret.push_back(cmds[2]);
    for (const auto& shown : rec.display) {
      EXPECT_EQ(shown.find(pass), std::string::npos) << shown;
      for (const auto& s : secret) EXPECT_EQ(shown.find(s.substr(s.size() - 8)), std::string::npos) << shown;
    }
    for (const auto& shown : rec.commands) EXPECT_EQ(shown.find(pass), std::string::npos);
  }
}

TEST(SmtpAuth, CramMd5HashesLongPasswordsAndRejectsShortChallenges) {
  const std::string pass(80, 'k');
  std::string challenge = "<1.2@x>";
  std::string answer;
  bool short_challenge = false;
  ScriptedPeer peer(kBanner, [&](const std::string& line) -> std::vector<Chunk> {
    if (line.rfind("EHLO", 0) == 0) return {Send("250-x\r\n250 AUTH CRAM-MD5\r\n")};
    if (line == "AUTH CRAM-MD5") return {Send(short_challenge ? "334\r\n" : "334 " + Base64Encode(challenge) + "\r\n")};
    answer = line;
    return {Send("235 ok\r\n")};
  });
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, peer);
  c.AuthType = smtpAuthAutoSelect;
  c.Username = "u";
  c.Password = pass;
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastError(), 0);
  // RFC 2104: the key is MD5(password) when it is longer than 64 bytes.
  EXPECT_EQ(Base64Decode(answer), "u " + DigestToHex(HmacMD5(pass, challenge), false));
  auto hashed = MD5Digest(pass);
  EXPECT_EQ(Base64Decode(answer), "u " + DigestToHex(HmacMD5(std::string(hashed.begin(), hashed.end()), challenge), false));

  short_challenge = true;
  ASSERT_TRUE(rec.Run([&] { c.Quit(); }));
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastError(), 500);
  EXPECT_EQ(c.LastResponse(), "500 Malformed MD5 Challege: 334");
}

TEST(SmtpAuth, AuthWithoutEsmtpOrWithoutTypeEndsWith500) {
  Peer p;
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));  // HELO only
  ASSERT_TRUE(rec.Run([&] { c.Auth(); }));
  EXPECT_EQ(rec.LastRequest(), smtpAuth);
  EXPECT_EQ(rec.LastError(), 500);
  EXPECT_EQ(c.LastResponse(), "500 ESMTP not supported.");
  ASSERT_TRUE(rec.Run([&] { c.Ehlo(); }));
  c.AuthType = smtpAuthNone;
  ASSERT_TRUE(rec.Run([&] { c.Auth(); }));
  EXPECT_EQ(rec.LastError(), 500);
  EXPECT_EQ(c.ErrorMessage(), "500 No Authentication Type Selected.");
  c.AuthType = smtpAuthCramSha1;
  EXPECT_THROW(c.Auth(), std::runtime_error);
  EXPECT_EQ(c.State(), smtpReady);
}

TEST(SmtpAuth, AutoSelectFallsBackOn504) {
  std::vector<std::string> seen;
  ScriptedPeer peer(kBanner, [&](const std::string& line) -> std::vector<Chunk> {
    seen.push_back(line);
    if (line.rfind("EHLO", 0) == 0) return {Send("250-x\r\n250 AUTH CRAM-MD5 LOGIN\r\n")};
    if (line == "AUTH CRAM-MD5" || line == "AUTH LOGIN") return {Send("504 not today\r\n")};
    if (line.rfind("AUTH PLAIN", 0) == 0) return {Send("535 5.7.8 bad credentials\r\n")};
    return {Send("250 OK\r\n")};
  });
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, peer);
  c.AuthType = smtpAuthAutoSelect;
  c.Username = "u";
  c.Password = "p";
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastError(), 535);
  EXPECT_EQ(c.ErrorMessage(), "500 Authentication Type could not be determined.");
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[1], "AUTH CRAM-MD5");
  EXPECT_EQ(seen[2], "AUTH LOGIN");
  EXPECT_EQ(seen[3].substr(0, 11), "AUTH PLAIN ");
}

// ---------------------------------------------------------------- blocking client

TEST(SmtpSync, TimeoutAgainstAStallingServer) {
  Peer p;
  p.script->replies["EHLO"] = {};  // never answers
  TSyncSmtpCli c;
  UsePeer(c, *p.peer);
  c.Timeout = 1;
  c.AuthType = smtpAuthLogin;
  uint32_t start = TickCount();
  EXPECT_FALSE(c.OpenSync());
  uint32_t took = TickCount() - start;
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 3000u);
  EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
  EXPECT_EQ(c.StatusCode(), 426);
  EXPECT_EQ(c.State(), smtpReady);
  EXPECT_FALSE(c.Connected());
}

TEST(SmtpSync, ZeroTimeoutWaitsForASlowServer) {
  Peer p;
  p.script->replies["HELO"] = {Send("250 finally\r\n", 1300)};
  TSyncSmtpCli c;
  UsePeer(c, *p.peer);
  c.Timeout = 0;
  EXPECT_TRUE(c.OpenSync());
  c.Timeout = 1;
  p.script->replies["RSET"] = {Send("250 late\r\n", 1300)};
  EXPECT_FALSE(c.RsetSync());
  EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
}

TEST(SmtpSync, WholeMailRoundTrip) {
  Peer p;
  TSyncSmtpCli c;
  UsePeer(c, *p.peer);
  c.FromName = "me@x.org";
  c.RcptName.Add("you@y.org");
  c.HdrSubject = "sync";
  c.MailMessage.Add("hello");
  EXPECT_TRUE(c.OpenSync());
  EXPECT_TRUE(c.MailSync());
  EXPECT_TRUE(c.RsetSync());
  EXPECT_TRUE(c.VrfySync());
  EXPECT_TRUE(c.QuitSync());
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(p.script->data_lines.back(), "hello");
  EXPECT_TRUE(c.QuitSync());  // not connected: ends at once with 0
}

TEST(SmtpProperties, DefaultsAndShareModes) {
  THtmlSmtpCli h;
  EXPECT_EQ(h.ContentType(), smtpHtml);
  EXPECT_EQ(h.ContentTypeText(), "text/html");
  EXPECT_EQ(h.HtmlCharSet, "iso-8859-1");
  TSyncSmtpCli c;
  EXPECT_EQ(c.Timeout, 15);
  EXPECT_EQ(c.Port, "smtp");
  EXPECT_EQ(c.LocalAddr, "0.0.0.0");
  EXPECT_EQ(c.CharSet, "iso-8859-1");
  EXPECT_EQ(c.ContentType(), smtpPlainText);
  EXPECT_EQ(c.ContentTypeText(), "text/plain");
  EXPECT_EQ(c.AuthType, smtpAuthNone);
  EXPECT_EQ(c.HdrPriority, smtpPriorityNone);
  EXPECT_FALSE(c.OwnHeaders);
  EXPECT_EQ(c.State(), smtpReady);
  EXPECT_EQ(c.ShareMode(), smtpShareDenyWrite);
  EXPECT_EQ(c.ShareFlags(), 32);
  const std::pair<TSmtpShareMode, int> modes[] = {{smtpShareCompat, 0}, {smtpShareExclusive, 16},
                                                  {smtpShareDenyWrite, 32}, {smtpShareDenyRead, 48},
                                                  {smtpShareDenyNone, 64}};
  for (auto [mode, flags] : modes) {
    c.SetShareMode(mode);
    EXPECT_EQ(c.ShareFlags(), flags);
    EXPECT_EQ(c.ShareMode(), mode);
  }
  c.SetShareFlags(7);
  EXPECT_EQ(c.ShareMode(), smtpShareDenyWrite);
  TempDir dir("props");
  try {
    h.SetEMailImages({(dir.path() / "nope.gif").string()});
    FAIL() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_EQ(std::string(e.what()), "File not found '" + (dir.path() / "nope.gif").string() + "'");
  }
  h.SetImageStream(2, std::make_unique<std::istringstream>("x"));
  EXPECT_EQ(h.GetImageStreamCount(), 3);
  EXPECT_EQ(h.GetImageStream(0), nullptr);
  EXPECT_NE(h.GetImageStream(2), nullptr);
  EXPECT_EQ(h.GetImageStream(7), nullptr);
  h.ClearImageStreamArray();
  EXPECT_EQ(h.GetImageStreamCount(), 0);
}

TEST(SmtpConnection, HostNamesAreLookedUpAndUnknownOnesFail) {
  Peer p;
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, *p.peer);
  c.Host = "localhost";
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastError(), 0) << c.ErrorMessage();
  ASSERT_TRUE(rec.Run([&] { c.Quit(); }));
  c.Host = "no-such-host.invalid";
  ASSERT_TRUE(rec.Run([&] { c.Open(); }, 10000));
  EXPECT_EQ(rec.LastError(), 11001);
  EXPECT_EQ(c.ErrorMessage(), "500 Host not found (Winsock error #11001)");
}

TEST(SmtpConnection, ClientMayBeDeletedInsideOnRequestDone) {
  Peer p;
  bool deleted = false;
  auto* c = new TSmtpCli;
  UsePeer(*c, *p.peer);
  c->OnRequestDone = [&](TCustomSmtpClient* sender, TSmtpRequest, uint16_t) {
    deleted = true;  // before the handler itself goes with the client
    delete sender;
  };
  c->Open();
  ASSERT_TRUE(Pump([&] { return deleted; }));
  PumpFor(30);
  auto* q = new TSmtpCli;
  deleted = false;
  q->OnRequestDone = [&](TCustomSmtpClient* sender, TSmtpRequest, uint16_t) {
    deleted = true;  // before the handler itself goes with the client
    delete sender;
  };
  q->Quit();
  ASSERT_TRUE(Pump([&] { return deleted; }));
}
