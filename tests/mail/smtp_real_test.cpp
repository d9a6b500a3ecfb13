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

class SmtpRealServer : public RealServerTest {
 protected:
  bool Serve(const std::string& config = "{}") {
    if (!RealServerTest::Serve(config)) return false;
    Point(c, "tavlog-test");
    return true;
  }
  TSmtpCli c;
};

}  // namespace

// A password longer than the HMAC block: CRAM-MD5 must hash it first.
TEST_F(SmtpRealServer, AuthenticatesWithEveryMechanismAndRefusesABadPassword) {
  std::string password;
  for (int i = 0; i < 10; ++i) password += "tanstaaf";
  ASSERT_TRUE(Serve(R"({"password": ")" + password + "\"}"));
  struct Case {
    TSmtpAuthType type;
    const char* logged;
  };
  for (Case k : {Case{smtpAuthPlain, "AUTH PLAIN tim"}, Case{smtpAuthLogin, "AUTH LOGIN tim"},
                 Case{smtpAuthCramMD5, "AUTH CRAM-MD5 tim"}, Case{smtpAuthAutoSelect, "AUTH CRAM-MD5 tim"}}) {
    for (bool good : {true, false}) {
      rec.display.clear();
      rec.commands.clear();
      c.AuthType = k.type;
      c.Username = "tim";
      c.Password = good ? password : "wrong";
      std::size_t events = peer->Events().size();
      ASSERT_TRUE(Opened(c)) << k.logged << Joined(rec.display) << Joined(peer->Events()) << peer->StdErr();
      EXPECT_EQ(rec.LastRequest(), smtpOpen);
      EXPECT_EQ(rec.LastError(), good ? 0 : 535) << k.logged << " " << c.ErrorMessage();
      ASSERT_TRUE(rec.Run([&] { c.Quit(); }));
      EXPECT_EQ(rec.LastError(), 0);
      auto ev = peer->Events();
      std::vector<std::string> fresh(ev.begin() + static_cast<long>(events), ev.end());
      std::string expect = std::string(k.logged) + (good ? " OK" : " FAIL");
      EXPECT_NE(std::find(fresh.begin(), fresh.end(), expect), fresh.end()) << Joined(fresh);
      if (k.type == smtpAuthPlain) {
        // RFC 4616: the authorisation identity is empty.
        EXPECT_NE(std::find(fresh.begin(), fresh.end(), "PLAIN-AUTHZID "), fresh.end()) << Joined(fresh);
      }
      // Lines that carry credentials are shown masked, in OnCommand as in OnDisplay.
      const std::set<std::string> shown_commands = {"EHLO tavlog-test", "AUTH PLAIN ********", "AUTH LOGIN",
                                                    "********", "AUTH CRAM-MD5", "QUIT"};
      for (const auto& shown : rec.commands) EXPECT_TRUE(shown_commands.count(shown)) << shown;
      for (const auto& shown : rec.display) {
        EXPECT_EQ(shown.find("tanstaaf"), std::string::npos) << shown;
        if (shown.rfind("> ", 0) == 0) {
          EXPECT_TRUE(shown_commands.count(shown.substr(2))) << shown;
        }
      }
    }
  }
}

TEST_F(SmtpRealServer, PlainAsciiMessageArrivesByteForByteWithHeadersInOrder) {
  ASSERT_TRUE(Serve());
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
  c.MailMessage.Add("..two dots");
  c.MailMessage.Add("Bye");
  ASSERT_TRUE(Opened(c));
  std::time_t before = std::time(nullptr);
  ASSERT_TRUE(Mailed(c));
  EXPECT_EQ(rec.LastError(), 0);
  MessageReport m = peer->Message(1);
  EXPECT_EQ(m.One("defects"), "0") << Joined(m.All("defect"));
  EXPECT_EQ(m.One("content-type"), "text/plain");
  EXPECT_FALSE(m.Has("attachment"));
  std::string raw = peer->RawMessage(1);
  std::smatch date;
  ASSERT_TRUE(std::regex_search(raw, date, std::regex("\r\nDate: ([A-Z][a-z]{2}, [0-9]{1,2} [A-Z][a-z]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} GMT)\r\n")));
  // A message id on the sender's domain, another one for every message.
  std::smatch id;
  ASSERT_TRUE(std::regex_search(raw, id, std::regex("\r\nMessage-ID: (<[0-9A-F.]+@x\\.org>)\r\n"))) << raw;
  EXPECT_NE(NewMessageId("rider@x.org"), id[1].str());
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
      "Message-ID: " + id[1].str() + "\r\n"
      "X-Priority: 2\r\n"
      "Priority: urgent\r\n"
      "X-MSMail-Priority: High\r\n"
      "X-Mailer: " + ProjectMailer() + "\r\n"
      "\r\n"
      "Hello coach,\r\n"
      "\r\n"
      ".the files follow. \r\n"
      "..two dots\r\n"
      "Bye\r\n";
  EXPECT_EQ(raw, expected);
  EXPECT_TRUE(date[1].str() == Rfc822DateTime(before) || date[1].str() == Rfc822DateTime(before + 1) ||
              date[1].str() == Rfc822DateTime(before + 2));
  EXPECT_EQ(m.All("rcpt"), (std::vector<std::string>{"a@x.org", "b@x.org"}));
  EXPECT_EQ(Unhex(m.One("from")), "rider@x.org");
}

TEST_F(SmtpRealServer, PriorityHeadersAndProcessHeaderAndHeaderLineEvents) {
  ASSERT_TRUE(Serve());
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
  ASSERT_TRUE(Opened(c));
  ASSERT_TRUE(Mailed(c));
  EXPECT_EQ(rec.LastError(), 0);
  std::string raw = peer->RawMessage(1);
  EXPECT_NE(raw.find("\r\nSubject: rewritten\r\nSender: secretary@x.org\r\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("\r\nX-Priority: 5\r\nPriority: non-urgent\r\nX-MSMail-Priority: Low\r\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Mailer: " + ProjectMailer() + "\r\nX-Trip: 42\r\n\r\nx\r\n"), std::string::npos);
  EXPECT_EQ(peer->Message(1).One("defects"), "0");
}
