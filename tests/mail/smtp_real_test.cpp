// The SMTP client against a real server (aiosmtpd): authentication,
// refusals injected by the server's handler, headers as they arrive.
#include <gtest/gtest.h>

#include <regex>

#include "mail/mime_util.h"
#include "mail/smtp.h"
#include "smtp_test_support.h"

using namespace tav;
using namespace tav::smtptest;

namespace {

void UsePeer(TCustomSmtpClient& c, const PythonSmtpPeer& p) {
  c.Host = "127.0.0.1";
  c.Port = p.PortStr();
  c.SignOn = "tavlog-test";
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

}  // namespace

TEST(SmtpRealServer, AuthenticatesWithEveryMechanismAndRefusesABadPassword) {
  PythonSmtpPeer peer(R"({"mechanisms": ["PLAIN", "LOGIN", "CRAM-MD5"]})");
  ASSERT_TRUE(peer.Ok()) << peer.StdErr();
  struct Case {
    TSmtpAuthType type;
    const char* logged;
  };
  for (Case k : {Case{smtpAuthPlain, "AUTH PLAIN tim"}, Case{smtpAuthLogin, "AUTH LOGIN tim"},
                 Case{smtpAuthCramMD5, "AUTH CRAM-MD5 tim"}, Case{smtpAuthAutoSelect, "AUTH CRAM-MD5 tim"}}) {
    for (bool good : {true, false}) {
      TSmtpCli c;
      Recorder rec;
      rec.Attach(c);
      UsePeer(c, peer);
      c.AuthType = k.type;
      c.Username = "tim";
      c.Password = good ? "tanstaaftanstaaf" : "wrong";
      std::size_t events = peer.Events().size();
      ASSERT_TRUE(rec.Run([&] { c.Open(); })) << k.logged << Joined(rec.display) << Joined(peer.Events()) << peer.StdErr();
      EXPECT_EQ(rec.LastRequest(), smtpOpen);
      EXPECT_EQ(rec.LastError(), good ? 0 : 535) << k.logged << " " << c.ErrorMessage();
      ASSERT_TRUE(rec.Run([&] { c.Quit(); }));
      EXPECT_EQ(rec.LastError(), 0);
      auto ev = peer.Events();
      std::vector<std::string> fresh(ev.begin() + static_cast<long>(events), ev.end());
      std::string expect = std::string(k.logged) + (good ? " OK" : " FAIL");
      EXPECT_NE(std::find(fresh.begin(), fresh.end(), expect), fresh.end()) << Joined(fresh);
      if (k.type == smtpAuthPlain) {
        // RFC 4616: the authorisation identity is empty.
        EXPECT_NE(std::find(fresh.begin(), fresh.end(), "PLAIN-AUTHZID "), fresh.end()) << Joined(fresh);
      }
      for (const auto& shown : rec.display) EXPECT_EQ(shown.find("tanstaaf"), std::string::npos);
    }
  }
}

TEST(SmtpRealServer, RefusedEhloFallsBackToHelo) {
  PythonSmtpPeer peer(R"({"refuse_ehlo": true})");
  ASSERT_TRUE(peer.Ok()) << peer.StdErr();
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, peer);
  c.AuthType = smtpAuthLogin;
  c.Username = "tim";
  c.Password = "tanstaaftanstaaf";
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  EXPECT_EQ(rec.LastError(), 0);
  EXPECT_TRUE(peer.HasEvent("EHLO tavlog-test"));
  EXPECT_TRUE(Pump([&] { return peer.HasEvent("HELO tavlog-test"); }));
  EXPECT_FALSE(peer.HasEvent("AUTH"));
}

TEST(SmtpRealServer, RefusalsFromTheServerEndMailWithTheirCodes) {
  {
    PythonSmtpPeer peer(R"({"mail_reply": "553 5.1.8 Sender address refused"})");
    ASSERT_TRUE(peer.Ok()) << peer.StdErr();
    TSmtpCli c;
    Recorder rec;
    rec.Attach(c);
    UsePeer(c, peer);
    c.FromName = "rider@x.org";
    c.RcptName.Add("coach@y.org");
    ASSERT_TRUE(rec.Run([&] { c.Open(); }));
    ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
    EXPECT_EQ(rec.LastError(), 553);
    EXPECT_EQ(c.ErrorMessage(), "553 5.1.8 Sender address refused");
    EXPECT_TRUE(peer.HasEvent("MAIL rider@x.org"));
    EXPECT_FALSE(peer.HasEvent("RCPT"));
  }
  {
    PythonSmtpPeer peer(R"({"refuse_rcpt": ["nobody@y.org", "ghost@y.org"]})");
    ASSERT_TRUE(peer.Ok()) << peer.StdErr();
    TSmtpCli c;
    Recorder rec;
    rec.Attach(c);
    UsePeer(c, peer);
    c.FromName = "rider@x.org";
    c.RcptName.Add("nobody@y.org");
    c.RcptName.Add("coach@y.org");
    c.MailMessage.Add("hello");
    ASSERT_TRUE(rec.Run([&] { c.Open(); }));
    ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
    EXPECT_EQ(rec.LastError(), 0);
    EXPECT_EQ(c.ErrorMessage().substr(0, 3), "550");
    MessageReport m = peer.Message(1);
    EXPECT_EQ(m.All("rcpt"), (std::vector<std::string>{"coach@y.org"}));

    // Every recipient refused: no DATA.
    c.RcptName.Clear();
    c.RcptName.Add("nobody@y.org");
    c.RcptName.Add("ghost@y.org");
    ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
    EXPECT_EQ(rec.LastError(), 550);
    EXPECT_EQ(c.ErrorMessage(), "550 5.1.1 No such user here\r\n550 5.1.1 No such user here");
    PumpFor(50);
    EXPECT_FALSE(peer.HasMessage(2));
  }
  {
    PythonSmtpPeer peer(R"({"data_reply": "554 5.6.0 Message refused"})");
    ASSERT_TRUE(peer.Ok()) << peer.StdErr();
    TSmtpCli c;
    Recorder rec;
    rec.Attach(c);
    UsePeer(c, peer);
    c.FromName = "rider@x.org";
    c.RcptName.Add("coach@y.org");
    c.MailMessage.Add("hello");
    ASSERT_TRUE(rec.Run([&] { c.Open(); }));
    ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
    EXPECT_EQ(rec.LastError(), 554);
    EXPECT_EQ(c.ErrorMessage(), "554 5.6.0 Message refused");
  }
}

TEST(SmtpRealServer, PlainAsciiMessageArrivesByteForByteWithHeadersInOrder) {
  PythonSmtpPeer peer("{}");
  ASSERT_TRUE(peer.Ok()) << peer.StdErr();
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, peer);
  c.FromName = "Rider <rider@x.org>";
  c.RcptName.Add("a@x.org");
  c.RcptName.Add("b@x.org");
  c.HdrReplyTo = "replies@x.org";
  c.HdrReturnPath = "<bounces@x.org>";
  c.HdrFrom = "Rider <rider@x.org>";
  c.HdrTo = "a@x.org; \"Doe, B\" <b@x.org>";
  c.HdrCc = "c@x.org";
  c.HdrSubject = "Trip of the day";
  c.HdrPriority = smtpPriorityHigh;
  c.MailMessage.Add("Hello coach,");
  c.MailMessage.Add("");
  c.MailMessage.Add(".the files follow. ");
  c.MailMessage.Add("Bye");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  std::time_t before = std::time(nullptr);
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastError(), 0);
  MessageReport m = peer.Message(1);
  EXPECT_EQ(m.One("defects"), "0") << Joined(m.All("defect"));
  EXPECT_EQ(m.All("header"),
            (std::vector<std::string>{"Reply-To", "Return-Path", "From", "To", "Cc", "Subject", "Sender",
                                      "Mime-Version", "Content-Type", "Date", "X-Priority", "Priority",
                                      "X-MSMail-Priority", "X-Mailer"}));
  std::string raw = peer.RawMessage(1);
  std::smatch date;
  ASSERT_TRUE(std::regex_search(raw, date, std::regex("\r\nDate: ([A-Z][a-z]{2}, [0-9]{1,2} [A-Z][a-z]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} GMT)\r\n")));
  std::string expected =
      "Reply-To: replies@x.org\r\n"
      "Return-Path: <bounces@x.org>\r\n"
      "From: Rider <rider@x.org>\r\n"
      "To: a@x.org,\r\n"
      "\t\"Doe, B\" <b@x.org>\r\n"
      "Cc: c@x.org\r\n"
      "Subject: Trip of the day\r\n"
      "Sender: Rider <rider@x.org>\r\n"
      "Mime-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
      "Date: " + date[1].str() + "\r\n"
      "X-Priority: 2\r\n"
      "Priority: urgent\r\n"
      "X-MSMail-Priority: High\r\n"
      "X-Mailer: ICS SMTP Component V2.45\r\n"
      "\r\n"
      "Hello coach,\r\n"
      "\r\n"
      ".the files follow. \r\n"
      "Bye\r\n";
  EXPECT_EQ(raw, expected);
  EXPECT_TRUE(date[1].str() == Rfc822DateTime(before) || date[1].str() == Rfc822DateTime(before + 1) ||
              date[1].str() == Rfc822DateTime(before + 2));
  EXPECT_EQ(m.All("rcpt"), (std::vector<std::string>{"a@x.org", "b@x.org"}));
  EXPECT_EQ(m.One("from"), Hex("rider@x.org"));
}

TEST(SmtpRealServer, PriorityHeadersAndProcessHeaderAndHeaderLineEvents) {
  PythonSmtpPeer peer("{}");
  ASSERT_TRUE(peer.Ok()) << peer.StdErr();
  TSmtpCli c;
  Recorder rec;
  rec.Attach(c);
  UsePeer(c, peer);
  c.FromName = "rider@x.org";
  c.RcptName.Add("coach@y.org");
  c.HdrFrom = "rider@x.org";
  c.HdrSender = "secretary@x.org";
  c.HdrPriority = smtpPriorityLowest;
  c.OnProcessHeader = [](TCustomSmtpClient*, TStringList& header) { header.Add("X-Trip: 42"); };
  c.OnHeaderLine = [](TCustomSmtpClient*, std::string& line, int size) {
    EXPECT_EQ(size, 1024);
    if (line.rfind("Subject:", 0) == 0) line = "Subject: rewritten";
  };
  c.MailMessage.Add("x");
  ASSERT_TRUE(rec.Run([&] { c.Open(); }));
  ASSERT_TRUE(rec.Run([&] { c.Mail(); }));
  EXPECT_EQ(rec.LastError(), 0);
  std::string raw = peer.RawMessage(1);
  EXPECT_NE(raw.find("\r\nSubject: rewritten\r\nSender: secretary@x.org\r\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("\r\nX-Priority: 5\r\nPriority: non-urgent\r\nX-MSMail-Priority: Low\r\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Mailer: ICS SMTP Component V2.45\r\nX-Trip: 42\r\n\r\nx\r\n"), std::string::npos);
  EXPECT_EQ(peer.Message(1).One("defects"), "0");
}
