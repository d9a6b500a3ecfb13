// The SMTP client against a scripted peer: replies no real server sends,
// broken connections, misuse, the data-phase rules and the blocking client.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "mail/smtp.h"
#include "smtp_test_support.h"

using namespace tav;
using namespace tav::smtptest;

namespace {

// A well-behaved server; replies[command word] replaces a default reply.
// Data lines are collected and answered only at the closing ".". A test's
// intercept sees every line first and answers it when it returns true.
struct ServerScript {
  std::map<std::string, std::vector<Chunk>> replies;
  std::function<bool(const std::string& line, std::vector<Chunk>& reply)> intercept;
  bool in_data = false;
  std::vector<std::string> data_lines;
  std::vector<std::string> commands;

  std::vector<Chunk> operator()(const std::string& line) {
    if (!in_data) commands.push_back(line);
    if (std::vector<Chunk> reply; intercept && intercept(line, reply)) return reply;
    if (in_data) {
      if (line == ".") {
        in_data = false;
        return Reply(".", {Send("250 2.0.0 queued\r\n")});
      }
      data_lines.push_back(line);
      return {};
    }
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

// A client c with its reports recorded, talking to a scripted server.
class Smtp : public RecordedTest {
 protected:
  // Starts the server with the banner and points c at it.
  void Serve(std::vector<Chunk> banner = {Send("220 test.local ESMTP\r\n")}) {
    peer = std::make_unique<ScriptedPeer>(std::move(banner), [s = script](const std::string& l) { return (*s)(l); });
    Point(c);
  }
  // Attaches the recorder to a client and points it at the server.
  void Point(TCustomSmtpClient& client) {
    rec.Attach(client);
    UsePeer(client);
  }
  void UsePeer(TCustomSmtpClient& client) const {
    client.Host = "127.0.0.1";
    client.Port = peer->PortStr();
    client.SignOn = "tester box";
  }
  // One sender and one recipient, opened.
  void OpenAddressed(TCustomSmtpClient& client) {
    client.FromName = "me@x.org";
    client.RcptName.Add("you@y.org");
    ASSERT_TRUE(Opened(client));
  }
  // c with user and password opened against an EHLO reply and an AUTH reply.
  void OpenWithAuth(const std::string& ehlo, const std::string& auth) {
    script->replies["EHLO"] = {Send(ehlo)};
    script->replies["AUTH"] = {Send(auth)};
    Serve();
    c.AuthType = smtpAuthAutoSelect;
    c.Username = "u";
    c.Password = "p";
    ASSERT_TRUE(Opened(c));
  }

  std::shared_ptr<ServerScript> script = std::make_shared<ServerScript>();
  std::unique_ptr<ScriptedPeer> peer;
  TSmtpCli c;
};

}  // namespace

// ---------------------------------------------------------------- replies

TEST_F(Smtp, Banner554EndsOpenWithItsCodeAndPlainConnectWith10004) {
  Serve({Send("554 5.3.2 no service for you\r\n")});
  ASSERT_TRUE(Opened(c));
  EXPECT_EQ(rec.Last(), Done(smtpOpen, 554));
  EXPECT_EQ(c.ErrorMessage(), "554 5.3.2 no service for you");
  EXPECT_FALSE(c.Connected());
  EXPECT_TRUE(script->commands.empty());  // no HELO after a refused banner
  EXPECT_FALSE(rec.done_inside_call);

  ASSERT_TRUE(rec.Run([&] { c.Connect(); }));
  EXPECT_EQ(rec.Last(), Done(smtpConnect, 10004));
  EXPECT_EQ(c.State(), smtpReady);
}

TEST_F(Smtp, RepliesSplitAcrossPacketsOrPastTheBufferEndOnlyAtTheirLastLine) {
  Serve({Send("220-first line\r\n"), Send("220-second", 30), Send(" line\r", 30), Send("\n220 ready\r\n", 30)});
  script->replies["EHLO"] = {Send("250-test.local\r\n250-AU"), Send("TH LOGIN PLAIN\r\n250-AUTH=CRAM-MD5 LOGIN\r", 40),
                             Send("\n250-SIZE 1000\r\n25", 40), Send("0 HELP\r\n", 40)};
  ASSERT_TRUE(rec.Run([&] { c.Connect(); }));
  EXPECT_EQ(c.LastResponse(), "220 ready");
  std::size_t responses_before = rec.responses.size();
  ASSERT_TRUE(rec.Run([&] { c.Ehlo(); }));
  EXPECT_EQ(rec.Last(), Done(smtpEhlo, 0));
  EXPECT_EQ(c.ErrorMessage(), "");
  EXPECT_EQ(rec.responses.size() - responses_before, 5u);
  EXPECT_EQ(c.LastResponse(), "250 HELP");
  EXPECT_TRUE(c.EsmtpSupported());
  EXPECT_EQ(c.AuthTypesSupported().Lines(), (std::vector<std::string>{"LOGIN", "PLAIN", "CRAM-MD5"}));
  EXPECT_EQ(script->commands.back(), "EHLO tester_box");
  // Every command is shown as "> " + command, every reply as "< " + line.
  for (const char* shown : {"> EHLO tester_box", "< 250-AUTH=CRAM-MD5 LOGIN"})
    EXPECT_NE(std::find(rec.display.begin(), rec.display.end(), shown), rec.display.end()) << shown;

  // Many short lines past the buffer size are read; a long line that still
  // fits waits for its line end.
  std::string many, text(3000, 'y');
  for (int i = 0; i < 300; ++i) many += "250-EXTENSION" + std::to_string(i) + " some words to fill\r\n";
  for (auto reply : {std::vector<Chunk>{Send(many + "250 HELP\r\n")},
                     std::vector<Chunk>{Send("250-" + text), Send("\r\n250 HELP\r\n", 60)}}) {
    script->replies["EHLO"] = reply;
    ASSERT_TRUE(rec.Run([&] { c.Ehlo(); }));
    EXPECT_EQ(rec.LastError(), 0);
    EXPECT_EQ(c.LastResponse(), "250 HELP");
  }
  EXPECT_EQ(rec.responses[rec.responses.size() - 2], "250-" + text);
}

TEST_F(Smtp, MalformedOrOverlongRepliesAreProtocolErrorsNotSuccess) {
  Serve();
  c.AuthType = smtpAuthLogin;
  const std::vector<std::string> replies = {"hello there\r\n", "25\r\n", "2500 too many digits\r\n", "abc OK\r\n",
                                           "250-" + std::string(5000, 'x')};  // the last without a line end, ever
  for (const std::string& bad : replies) {
    script->commands.clear();
    rec.done.clear();
    script->replies["EHLO"] = {Send(bad)};
    ASSERT_TRUE(Opened(c)) << bad;
    EXPECT_EQ(rec.LastError(), 500) << bad;
    EXPECT_EQ(c.StatusCode(), 500) << bad;
    EXPECT_FALSE(c.Connected()) << bad;
    // The connection is dropped: no HELO fallback on it, nothing more reported.
    ASSERT_TRUE(Pump([&] { return peer->Connections() > 0 && peer->ClientClosed(); }));
    PumpFor(50);
    EXPECT_EQ(script->commands.size(), 1u) << bad;
    EXPECT_EQ(rec.done.size(), 1u) << bad;
  }
  EXPECT_NE(c.ErrorMessage().find("too long"), std::string::npos);
  // The same for the banner.
  Serve({Send("hello\r\n")});
  ASSERT_TRUE(rec.Run([&] { c.Connect(); }, 3000));
  EXPECT_EQ(rec.LastError(), 500);
}

// ---------------------------------------------------------------- connections

TEST_F(Smtp, RefusedConnectionOrEmptyHostEndTheRequestFromTheLoop) {
  rec.Attach(c);
  ASSERT_TRUE(Opened(c));  // no host
  EXPECT_NE(rec.LastError(), 0);
  EXPECT_FALSE(rec.done_inside_call);
  test::RefusingPort closed;
  c.Host = "127.0.0.1";
  c.Port = std::to_string(closed.port());
  ASSERT_TRUE(Opened(c));
  EXPECT_EQ(rec.LastError(), 500);
  EXPECT_EQ(c.LastResponse(), "500 Connection refused (Winsock error #10061)");
  EXPECT_EQ(c.ErrorMessage(), c.LastResponse());
  EXPECT_EQ(c.State(), smtpReady);
}

TEST_F(Smtp, DisconnectInTheMiddleEndsTheRequest) {
  Serve();
  script->replies["RCPT"] = {CloseConn()};
  OpenAddressed(c);
  ASSERT_TRUE(Mailed(c));
  EXPECT_EQ(rec.Last(), Done(smtpMail, 10004));
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(c.State(), smtpReady);
  PumpFor(30);
  EXPECT_EQ(rec.done.size(), 2u);

  // Also while the body is being sent.
  Serve();
  for (int i = 0; i < 20000; ++i) c.MailMessage.Add("line " + std::to_string(i));
  ASSERT_TRUE(Opened(c));
  ASSERT_TRUE(rec.Run([&] {
    c.Mail();
    Pump([&] { return script->data_lines.size() > 50; }, 3000);
    peer.reset();  // the server goes away
  }));
  EXPECT_EQ(rec.LastRequest(), smtpMail);
  EXPECT_NE(rec.LastError(), 0);
  EXPECT_FALSE(c.Connected());
}

TEST_F(Smtp, EhloRefusedFallsBackToHeloUnlessTheConnectionIsGone) {
  struct Row {
    std::vector<Chunk> reply;
    bool ok;
    std::vector<std::string> commands;
  };
  for (const Row& row : {Row{{Send("502 5.5.1 not here\r\n")}, true, {"EHLO tester_box", "HELO tester_box"}},
                         Row{{Send("421 4.3.2 shutting down\r\n"), CloseConn()}, false, {"EHLO tester_box"}}}) {
    script->commands.clear();
    rec.done.clear();
    script->replies["EHLO"] = row.reply;
    Serve();
    c.AuthType = smtpAuthLogin;  // no AUTH after HELO
    ASSERT_TRUE(Opened(c));
    PumpFor(50);
    EXPECT_EQ(rec.LastError() == 0, row.ok);
    EXPECT_EQ(rec.done.size(), 1u);
    EXPECT_EQ(script->commands, row.commands);
    EXPECT_EQ(c.Connected(), row.ok);
    c.Abort();
  }
}

TEST_F(Smtp, QuitEndsWhenNotConnectedAndWhenTheServerKeepsTheConnection) {
  rec.Attach(c);
  ASSERT_TRUE(rec.Run([&] { c.Quit(); }));
  EXPECT_FALSE(rec.done_inside_call);
  EXPECT_EQ(rec.Last(), Done(smtpQuit, 0));

  Serve();
  script->replies["QUIT"] = {Send("221 bye\r\n")};  // but stays connected
  ASSERT_TRUE(Opened(c));
  ASSERT_TRUE(rec.Run([&] { c.Quit(); }, 2000));
  EXPECT_EQ(rec.Last(), Done(smtpQuit, 0));
  EXPECT_FALSE(c.Connected());
  EXPECT_TRUE(Pump([&] { return peer->ClientClosed(); }, 2000));
}

TEST_F(Smtp, AbortInTheMiddleOfMailReports426) {
  Serve();
  script->replies["RCPT"] = {};  // the server never answers
  OpenAddressed(c);
  c.Mail();
  ASSERT_TRUE(Pump([&] { return script->commands.size() == 3; }));
  ASSERT_TRUE(rec.Run([&] { c.Abort(); }));
  EXPECT_EQ(rec.Last(), Done(smtpMail, 426));
  EXPECT_EQ(c.ErrorMessage(), "426 Operation aborted.");
  EXPECT_EQ(c.State(), smtpReady);
  EXPECT_FALSE(c.Connected());
}

TEST_F(Smtp, DetachedClientHoldsItsEventsUntilAttached) {
  Serve();
  ASSERT_TRUE(Opened(c));
  EXPECT_EQ(test::SocketThrown([&] { c.ThreadAttach(); }), "Cannot attach when not detached");
  c.ThreadDetach();
  c.Rset();  // its reply waits
  PumpFor(100);
  EXPECT_EQ(rec.done.size(), 1u);
  c.ThreadAttach();
  ASSERT_TRUE(Pump([&] { return rec.done.size() == 2; }));
  EXPECT_EQ(rec.Last(), Done(smtpRset, 0));
  // A request that ends at once reports after the attach too.
  c.Abort();
  c.ThreadDetach();
  c.Quit();
  PumpFor(50);
  EXPECT_EQ(rec.done.size(), 2u);
  c.ThreadAttach();
  ASSERT_TRUE(Pump([&] { return rec.done.size() == 3; }));
  EXPECT_EQ(rec.LastRequest(), smtpQuit);
}

TEST_F(Smtp, ClientMayBeDeletedInsideOnRequestDone) {
  Serve();
  bool deleted = false;
  auto deleting = [&](TCustomSmtpClient* sender, TSmtpRequest, uint16_t) {
    deleted = true;  // before the handler itself goes with the client
    delete sender;
  };
  auto* opened = new TSmtpCli;
  UsePeer(*opened);
  opened->OnRequestDone = deleting;
  opened->Open();
  ASSERT_TRUE(Pump([&] { return deleted; }));
  PumpFor(30);
  auto* idle = new TSmtpCli;
  deleted = false;
  idle->OnRequestDone = deleting;
  idle->Quit();
  ASSERT_TRUE(Pump([&] { return deleted; }));
}

// ---------------------------------------------------------------- misuse

TEST_F(Smtp, WrongStateThrowsAndSendsNothing) {
  Serve();
  script->replies["HELO"] = {Send("250 late\r\n", 150)};  // keeps the request running a while
  EXPECT_EQ(SmtpThrown([&] { c.Helo(); }), "SMTP component not connected");
  EXPECT_EQ(SmtpThrown([&] { c.Mail(); }), "SMTP component not connected");
  ASSERT_TRUE(rec.Run([&] { c.Connect(); }));
  EXPECT_EQ(SmtpThrown([&] { c.Connect(); }), "SMTP component already connected");
  EXPECT_EQ(SmtpThrown([&] { c.Open(); }), "SMTP component already connected");
  c.RcptName.Add("  ");
  EXPECT_EQ(SmtpThrown([&] { c.RcptTo(); }), "RcptName list is empty");
  c.Helo();
  for (auto call : {&TCustomSmtpClient::Rset, &TCustomSmtpClient::Ehlo, &TCustomSmtpClient::Quit,
                    &TCustomSmtpClient::Auth, &TCustomSmtpClient::Mail})
    EXPECT_EQ(SmtpThrown([&] { (c.*call)(); }), "SMTP component not ready");
  PumpFor(30);
  EXPECT_EQ(script->commands, (std::vector<std::string>{"HELO tester_box"}));
  EXPECT_EQ(rec.done.size(), 1u);
  // The running request is untouched by the refused calls.
  ASSERT_TRUE(Pump([&] { return rec.done.size() == 2; }));
  EXPECT_EQ(rec.Last(), Done(smtpHelo, 0));
}

TEST_F(Smtp, LineBreaksInCommandsOrHeadersAreRefusedBeforeSending) {
  Serve();
  OpenAddressed(c);
  std::size_t sent = script->commands.size(), shown = rec.commands.size();
  struct Row {
    std::string TCustomSmtpClient::*field;
    std::string bad;
    std::vector<void (TCustomSmtpClient::*)()> calls;
  };
  const Row rows[] = {
      {&TCustomSmtpClient::HdrSubject, "Hello\r\nBcc: victim@z.org", {&TCustomSmtpClient::Mail, &TCustomSmtpClient::Data}},
      {&TCustomSmtpClient::HdrTo, std::string("a@b\0c", 5), {&TCustomSmtpClient::Mail, &TCustomSmtpClient::Vrfy}},
      {&TCustomSmtpClient::FromName, "me@x.org>\r\nRCPT TO:<victim@z.org",
       {&TCustomSmtpClient::Mail, &TCustomSmtpClient::MailFrom}}};
  for (const Row& row : rows) {
    std::string good = c.*row.field;
    c.*row.field = row.bad;
    for (auto call : row.calls) EXPECT_THROW((c.*call)(), SmtpException) << row.bad;
    c.*row.field = good;
  }
  c.RcptName.Clear();
  c.RcptName.Add("you@y.org\nDATA");
  EXPECT_THROW(c.Mail(), SmtpException);
  EXPECT_THROW(c.RcptTo(), SmtpException);
  PumpFor(30);
  EXPECT_EQ(script->commands.size(), sent);
  EXPECT_EQ(rec.commands.size(), shown);
  EXPECT_EQ(c.State(), smtpReady);

}

// A sign-on with blanks, umlauts or line breaks: every byte outside
// 0x21-0x7E becomes '_', so no server refuses it and nothing is injected.
TEST_F(Smtp, SignOnIsMadeOfSafeAscii) {
  Serve();
  c.SignOn = "J\xFCrgens PC\r\nMAIL FROM:<x>\t~";
  ASSERT_TRUE(Opened(c));
  EXPECT_EQ(script->commands, (std::vector<std::string>{"HELO J_rgens_PC__MAIL_FROM:<x>_~"}));
}

// ---------------------------------------------------------------- recipients

TEST_F(Smtp, OneAcceptedRecipientIsEnoughAndNoneMeansNoData) {
  // First RCPT refused, second accepted, any later one refused.
  int rcpt = 0;
  script->intercept = [&](const std::string& line, std::vector<Chunk>& reply) {
    if (line.rfind("RCPT", 0) != 0) return false;
    ++rcpt;
    reply = {Send(rcpt == 1 ? "550 5.1.1 unknown user\r\n" : rcpt == 2 ? "250 OK\r\n" : "553 5.1.3 bad\r\n")};
    return true;
  };
  Serve();
  c.FromName = "me@x.org";
  c.MailMessage.Add("hello");
  ASSERT_TRUE(Opened(c));
  for (const char* r : {"", " first@x.org ", "", "Second <second@x.org>"}) c.RcptName.Add(r);
  ASSERT_TRUE(Mailed(c));
  EXPECT_EQ(rec.Last(), Done(smtpMail, 0));
  EXPECT_EQ(c.ErrorMessage(), "550 5.1.1 unknown user");
  EXPECT_EQ(rcpt, 2);  // empty items are skipped
  auto& cmds = script->commands;
  EXPECT_EQ(std::vector<std::string>(cmds.end() - 3, cmds.end() - 1),
            (std::vector<std::string>{"RCPT TO:<first@x.org>", "RCPT TO:<second@x.org>"}));
  EXPECT_EQ(script->data_lines.back(), "hello");

  // All refused: the first refusal's code, every refusal kept; Mail sends no DATA.
  c.RcptName = {"a@x.org", "b@x.org"};
  for (auto run : {&TCustomSmtpClient::RcptTo, &TCustomSmtpClient::Mail}) {
    ASSERT_TRUE(rec.Run([&] { (c.*run)(); }));
    EXPECT_EQ(rec.LastError(), 553);
    EXPECT_EQ(c.ErrorMessage(), "553 5.1.3 bad\r\n553 5.1.3 bad");
  }
  EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "DATA"), 1);
}

TEST_F(Smtp, FailingMailFromStopsMail) {
  Serve();
  script->replies["MAIL"] = {Send("553 5.1.8 sender refused\r\n")};
  c.FromName = "Me <me@x.org>";
  c.RcptName.Add("you@y.org");
  ASSERT_TRUE(Opened(c));
  ASSERT_TRUE(Mailed(c));
  EXPECT_EQ(rec.Last(), Done(smtpMail, 553));
  EXPECT_EQ(c.ErrorMessage(), "553 5.1.8 sender refused");
  EXPECT_EQ(script->commands.back(), "MAIL FROM:<me@x.org>");  // and no RCPT
  EXPECT_TRUE(c.Connected());
}

TEST_F(Smtp, RcptNameAddSplitsTheThreeLists) {
  c.RcptNameAdd("a@x; b@x", "\"Doe, J\" <j@x>", " , c@x ;");
  EXPECT_EQ(c.RcptName.Lines(), (std::vector<std::string>{"a@x", "b@x", "\"Doe, J\" <j@x>", "c@x"}));
}

// ---------------------------------------------------------------- data phase

TEST_F(Smtp, EveryPhysicalLineIsDotStuffedAndLineEndsAreCrLfAndTheFinalReplyCounts) {
  Serve();
  script->replies["."] = {Send("554 5.6.0 Message refused\r\n")};
  for (const char* line : {".", ".x", "a\rb", "c\nd", "e\r\n.f", "end."}) c.MailMessage.Add(line);
  OpenAddressed(c);
  ASSERT_TRUE(Mailed(c));
  EXPECT_EQ(rec.LastError(), 554);
  EXPECT_EQ(c.ErrorMessage(), "554 5.6.0 Message refused");
  const std::string& raw = peer->Raw();
  auto body = raw.find("\r\n\r\n..\r\n");
  ASSERT_NE(body, std::string::npos) << raw;
  EXPECT_EQ(raw.substr(body + 4), "..\r\n..x\r\na\r\nb\r\nc\r\nd\r\ne\r\n..f\r\nend.\r\n.\r\n");
}

TEST_F(Smtp, ServerReplyInTheMiddleOfTheDataEndsTheRequest) {
  bool said = false;
  script->intercept = [&](const std::string&, std::vector<Chunk>& reply) {
    if (!script->in_data || said) return false;
    said = true;
    reply = {Send("554 5.6.0 we do not like this\r\n")};
    return true;
  };
  Serve();
  for (int i = 0; i < 5000; ++i) c.MailMessage.Add("line " + std::to_string(i));
  OpenAddressed(c);
  ASSERT_TRUE(Mailed(c));
  EXPECT_EQ(rec.LastError(), 554);
  EXPECT_EQ(c.ErrorMessage(), "554 5.6.0 we do not like this");
}

// The caller's lines alone with OwnHeaders; a handler that throws ends the
// body, and the message is still closed.
TEST_F(Smtp, OnGetDataLinesWithOwnHeadersAndAThrowingHandler) {
  for (bool own_headers : {true, false}) {
    Serve();
    script->data_lines.clear();
    TCustomSmtpClient own;
    Point(own);
    own.OwnHeaders = own_headers;
    std::vector<std::string> lines = {"Subject: mine", "", "body", ".hidden"};
    own.OnGetData = [&](TCustomSmtpClient*, int n, std::string& line, int max_len, bool& more) {
      EXPECT_EQ(max_len, 1023);
      if (!own_headers && n == 3) throw std::runtime_error("oops");
      if (n > static_cast<int>(lines.size())) more = false;
      else line = lines[static_cast<std::size_t>(n - 1)];
    };
    OpenAddressed(own);
    ASSERT_TRUE(Mailed(own));
    EXPECT_EQ(rec.LastError(), 0);
    if (own_headers) {
      EXPECT_EQ(script->data_lines, (std::vector<std::string>{"Subject: mine", "", "body", "..hidden"}));
    } else {
      ASSERT_GE(script->data_lines.size(), 2u);
      EXPECT_EQ(std::vector<std::string>(script->data_lines.end() - 2, script->data_lines.end()),
                (std::vector<std::string>{"Subject: mine", ""}));
    }
  }
}

// ---------------------------------------------------------------- AUTH

TEST_F(Smtp, ShortCramMd5ChallengeEndsWith500) {
  OpenWithAuth("250-x\r\n250 AUTH CRAM-MD5\r\n", "334\r\n");
  EXPECT_EQ(rec.LastError(), 500);
  EXPECT_EQ(c.LastResponse(), "500 Malformed MD5 Challege: 334");
}

TEST_F(Smtp, AuthWithoutEsmtpOrWithoutTypeEndsWith500) {
  Serve();
  ASSERT_TRUE(Opened(c));  // HELO only
  ASSERT_TRUE(rec.Run([&] { c.Auth(); }));
  EXPECT_EQ(rec.Last(), Done(smtpAuth, 500));
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

TEST_F(Smtp, AutoSelectFallsBackOn504) {
  script->intercept = [](const std::string& line, std::vector<Chunk>& reply) {
    if (line.rfind("AUTH PLAIN", 0) != 0) return false;
    reply = {Send("535 5.7.8 bad credentials\r\n")};
    return true;
  };
  OpenWithAuth("250-x\r\n250 AUTH CRAM-MD5 LOGIN\r\n", "504 not today\r\n");
  EXPECT_EQ(rec.LastError(), 535);
  EXPECT_EQ(c.ErrorMessage(), "500 Authentication Type could not be determined.");
  const auto& seen = script->commands;
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[1], "AUTH CRAM-MD5");
  EXPECT_EQ(seen[2], "AUTH LOGIN");
  EXPECT_EQ(seen[3].substr(0, 11), "AUTH PLAIN ");
}

// ---------------------------------------------------------------- blocking client

TEST_F(Smtp, BlockingClientTimesOutAgainstAStallingServer) {
  Serve();
  script->replies["EHLO"] = {};  // never answers
  TSyncSmtpCli s;
  UsePeer(s);
  s.Timeout = 1;
  s.AuthType = smtpAuthLogin;
  uint32_t start = TickCount();
  EXPECT_FALSE(s.OpenSync());
  uint32_t took = TickCount() - start;
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 3000u);
  EXPECT_EQ(s.ErrorMessage(), "426 Timeout");
  EXPECT_EQ(s.StatusCode(), 426);
  EXPECT_EQ(s.State(), smtpReady);
  EXPECT_FALSE(s.Connected());

  // A server that streams banner continuation lines faster than they are
  // read: the loop still gets its turns, so the timeout ends the call.
  int port = 0;
  test::Fd listening(test::BindLoopback(SOCK_STREAM, port, 1));
  std::atomic<bool> stop{false};
  std::atomic<int> flood_fd{-1};
  std::thread flood([&] {
    flood_fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    std::string chunk;
    for (int i = 0; i < 8000; ++i) chunk += "220-more to come\r\n";
    while (!stop && ::send(flood_fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
    }
  });
  // Should the client hang, the flood ends after a while so the test can fail.
  std::thread guard([&] {
    for (int i = 0; i < 100 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
  });
  s.Port = std::to_string(port);
  start = TickCount();
  EXPECT_FALSE(s.ConnectSync());
  took = TickCount() - start;
  stop = true;
  ::shutdown(listening, SHUT_RDWR);
  if (flood_fd >= 0) ::shutdown(flood_fd, SHUT_RDWR);
  flood.join();
  guard.join();
  if (flood_fd >= 0) ::close(flood_fd);
  EXPECT_LT(took, 3000u);
  EXPECT_EQ(s.ErrorMessage(), "426 Timeout");
}

TEST_F(Smtp, BlockingClientRoundTripAndZeroTimeoutWaitsForASlowServer) {
  Serve();
  script->replies["HELO"] = {Send("250 finally\r\n", 1300)};
  TSyncSmtpCli s;
  UsePeer(s);
  s.FromName = "me@x.org";
  s.RcptName.Add("you@y.org");
  s.MailMessage.Add("hello");
  s.Timeout = 0;
  EXPECT_TRUE(s.OpenSync());
  s.Timeout = 15;
  EXPECT_TRUE(s.MailSync());
  EXPECT_TRUE(s.VrfySync());
  EXPECT_TRUE(s.QuitSync());
  EXPECT_FALSE(s.Connected());
  EXPECT_EQ(script->data_lines.back(), "hello");
  EXPECT_TRUE(s.QuitSync());  // not connected: ends at once with 0
  script->replies.erase("HELO");
  script->replies["RSET"] = {Send("250 late\r\n", 1300)};
  EXPECT_TRUE(s.OpenSync());
  s.Timeout = 1;
  EXPECT_FALSE(s.RsetSync());
  EXPECT_EQ(s.ErrorMessage(), "426 Timeout");
}

TEST(SmtpProperties, ShareModesAndImageStreams) {
  TSyncSmtpCli c;
  EXPECT_EQ(c.ShareFlags(), 32);
  const std::pair<TSmtpShareMode, int> modes[] = {{smtpShareCompat, 0}, {smtpShareExclusive, 16},
                                                  {smtpShareDenyWrite, 32}, {smtpShareDenyRead, 48},
                                                  {smtpShareDenyNone, 64}};
  for (auto [mode, flags] : modes) {
    c.SetShareMode(mode);
    EXPECT_EQ(c.ShareFlags(), flags);
    c.SetShareFlags(flags);
    EXPECT_EQ(c.ShareMode(), mode);
  }
  c.SetShareFlags(7);
  EXPECT_EQ(c.ShareMode(), smtpShareDenyWrite);
  THtmlSmtpCli h;
  TempDir dir("props");
  const std::string missing = (dir.path() / "nope.gif").string();
  EXPECT_EQ(SmtpThrown([&] { h.SetEMailImages({missing}); }), "File not found '" + missing + "'");
  h.SetImageStream(2, std::make_unique<std::istringstream>("x"));
  EXPECT_EQ(h.GetImageStreamCount(), 3);
  EXPECT_EQ(h.GetImageStream(0), nullptr);
  EXPECT_NE(h.GetImageStream(2), nullptr);
  EXPECT_EQ(h.GetImageStream(7), nullptr);
}
