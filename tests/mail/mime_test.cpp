// MIME messages as a real server receives them, checked by Python's email
// package: attachments, 8-bit text, encoded subjects, HTML mail.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "mail/base64.h"
#include "mail/md5.h"
#include "mail/qp.h"
#include "mail/smtp.h"
#include "mail/smtp_util.h"
#include "smtp_test_support.h"

using namespace tav;
using namespace tav::smtptest;

namespace {

struct Attachment {
  std::string name, type, disposition, encoding, md5;
  std::size_t size = 0;
  std::string id;
};

std::vector<Attachment> Attachments(const MessageReport& m) {
  std::vector<Attachment> out;
  for (const auto& v : m.All("attachment")) {
    auto f = Split(v, "\t");
    if (f.size() < 7) continue;
    out.push_back({Unhex(f[0]), f[1], f[2], f[3], f[4], static_cast<std::size_t>(std::stoul(f[5])), f[6]});
  }
  return out;
}

struct TextPart {
  std::string type, charset, encoding, bytes;
};

std::vector<TextPart> Texts(const MessageReport& m) {
  std::vector<TextPart> out;
  for (const auto& v : m.All("text")) {
    auto f = Split(v, "\t");
    if (f.size() < 4) continue;
    out.push_back({f[0], f[1], f[2], Unhex(f[3])});
  }
  return out;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

class MimeTest : public RealServerTest {
 protected:
  void SetUp() override { ASSERT_TRUE(Serve()); }
  void Prepare(TSmtpCli& c) {
    Point(c);
    c.FromName = "rider@x.org";
    c.RcptName.Add("coach@y.org");
    c.HdrFrom = "Rider <rider@x.org>";
    c.HdrTo = "coach@y.org";
    c.HdrSubject = "Trips";
  }
  // Opens, mails and returns the report of message n.
  MessageReport Send(TSmtpCli& c, int n, int ms = 20000) {
    if (!c.Connected()) {
      EXPECT_TRUE(Opened(c));
      EXPECT_EQ(rec.LastError(), 0);
    }
    EXPECT_TRUE(Mailed(c, ms));
    EXPECT_EQ(rec.LastRequest(), smtpMail);
    EXPECT_EQ(rec.LastError(), 0) << c.ErrorMessage();
    MessageReport m = peer->Message(n);
    EXPECT_EQ(m.One("defects"), "0") << Joined(m.All("defect"));
    EXPECT_FALSE(m.Has("error")) << m.One("error");
    return m;
  }
  std::string File(const std::string& name, const std::string& bytes) {
    auto p = dir_.path() / name;
    WriteFileBytes(p, bytes);
    return p.string();
  }

  TempDir dir_{"mime"};
};

}  // namespace

TEST_F(MimeTest, OneAndSeveralAttachmentsArriveByteForByte) {
  std::string trip = RandomBytes(1000, 1);
  std::string big = RandomBytes(3 * 1024 * 1024 + 17, 2);  // a multi-megabyte trip file
  std::string html = "<html><body>hi</body></html>\r\n";
  std::string exact = RandomBytes(54, 3);
  TStringList one = {File("TRIP.DEO", trip)};
  TStringList several = {File("TRIP.DEO", trip), File("EMPTY.DEO", ""), File("A.HTML", html),
                         File("exact54.bin", exact), File("20240611_BIG.DEO", big)};
  TSmtpCli c;
  Prepare(c);
  c.MailMessage.Add("Here are my trips.");
  c.MailMessage.Add("");
  c.MailMessage.Add("Rider");
  c.SetEMailFiles(one);
  MessageReport m = Send(c, 1);
  EXPECT_EQ(m.One("content-type"), "multipart/mixed");
  auto texts = Texts(m);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].bytes, "Here are my trips.\r\n\r\nRider\r\n");
  EXPECT_EQ(texts[0].encoding, "7bit");
  auto atts = Attachments(m);
  ASSERT_EQ(atts.size(), 1u);
  EXPECT_EQ(atts[0].name, "TRIP.DEO");
  EXPECT_EQ(atts[0].type, "application/octet-stream");
  EXPECT_EQ(atts[0].disposition, "attachment");
  EXPECT_EQ(atts[0].encoding, "base64");
  EXPECT_EQ(atts[0].md5, StrMD5(trip));
  std::string raw = peer->RawMessage(1);
  EXPECT_NE(raw.find("\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"= Multipart Boundary "), std::string::npos);
  EXPECT_NE(raw.find("\r\n\r\nThis is a multipart MIME message.\r\n\r\n--= Multipart Boundary "), std::string::npos);

  c.SetEMailFiles(several);
  m = Send(c, 2, 60000);
  atts = Attachments(m);
  ASSERT_EQ(atts.size(), 5u);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"TRIP.DEO", trip}, {"EMPTY.DEO", ""}, {"A.HTML", html}, {"exact54.bin", exact}, {"20240611_BIG.DEO", big}};
  for (std::size_t i = 0; i < atts.size(); ++i) {
    EXPECT_EQ(atts[i].name, expected[i].first);
    EXPECT_EQ(atts[i].md5, StrMD5(expected[i].second)) << atts[i].name;
    EXPECT_EQ(atts[i].size, expected[i].second.size()) << atts[i].name;
  }
  EXPECT_EQ(atts[2].type, "text/html");
  // 54 bytes: one full Base64 line, then the empty line that ends the file.
  raw = peer->RawMessage(2);
  std::string line72 = Base64Encode(exact);
  ASSERT_EQ(line72.size(), 72u);
  EXPECT_NE(raw.find("\r\n\r\n" + line72 + "\r\n\r\n\r\n--= Multipart Boundary "), std::string::npos);
  // No line of the message is longer than 76 characters plus CR LF.
  std::istringstream in(raw);
  for (std::string line; std::getline(in, line);) EXPECT_LE(line.size(), 77u);
}

// Text goes quoted-printable when it has 8-bit bytes or a line too long for
// SMTP; bytes 0x80-0x9F (euro sign, typographic quotes) label it, and the
// subject's encoded words, "windows-1252" instead of "iso-8859-1".
TEST_F(MimeTest, TextAndSubjectAreCodedAndLabelledByTheirBytes) {
  TSmtpCli c;
  Prepare(c);
  struct Row {
    std::vector<std::string> text;
    std::string subject, charset, encoding;
  };
  const std::string dots = "." + std::string(997, 'z');  // 999 bytes once the dot is doubled
  const Row rows[] = {
      {{"Gr\xFC\xDF" "e vom Berg,", "", ".Punkt", std::string(120, 'x') + "\xE9"}, "Fahrt \xFC" "ber den Pass",
       "iso-8859-1", "quoted-printable"},
      {{"100 km = 3 \x80 Kaffee ", "\x93zitiert\x94 \x96 \xFC"}, "3 \x80 f\xFCr \x84Kaffee\x93", "windows-1252",
       "quoted-printable"},
      {{"short", std::string(1500, 'x'), "end"}, "Long", "iso-8859-1", "quoted-printable"},
      {{dots}, "Dots", "iso-8859-1", "quoted-printable"},
      {{std::string(998, 'y')}, "At the limit", "iso-8859-1", ""}};
  int n = 0;
  for (const Row& row : rows) {
    c.MailMessage.Clear();
    for (const auto& l : row.text) c.MailMessage.Add(l);
    c.HdrSubject = row.subject;
    MessageReport m = Send(c, ++n);
    // Python decodes the encoded words back to the same characters.
    EXPECT_EQ(Unhex(m.One("subject")), row.subject);
    auto texts = Texts(m);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].charset, row.charset) << row.subject;
    EXPECT_EQ(texts[0].encoding, row.encoding) << row.subject;
    EXPECT_EQ(texts[0].bytes, Lines(row.text)) << row.subject;
    std::string raw = peer->RawMessage(n);
    for (char high : {'\x80', '\xFC'}) EXPECT_EQ(raw.find(high), std::string::npos);
    EXPECT_EQ(HasEightBitBytes(row.subject),
              raw.find("Subject: =?" + CharSetFor("iso-8859-1", row.subject) + "?Q?") != std::string::npos)
        << raw.substr(0, 600);
  }

  // The To name has an umlaut only: its encoded word keeps the configured set.
  c.HdrTo = "J\xFCrgen <coach@y.org>";
  c.HdrSubject = "Fahrt";
  MessageReport m = Send(c, ++n);
  EXPECT_EQ(Unhex(m.One("to")), "J\xFCrgen <coach@y.org>");
  EXPECT_NE(peer->RawMessage(n).find("To: =?iso-8859-1?Q?J=FCrgen?= <coach@y.org>\r\n"), std::string::npos);

  // With an attachment the text part carries the encoding and the label.
  c.MailMessage.Clear();
  c.MailMessage.Add("Preis: 3 \x80");
  c.SetEMailFiles({File("T.DEO", "abc")});
  m = Send(c, ++n);
  auto texts = Texts(m);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].encoding, "quoted-printable");
  EXPECT_EQ(texts[0].charset, "windows-1252");
  EXPECT_EQ(texts[0].bytes, "Preis: 3 \x80\r\n");
  EXPECT_EQ(Attachments(m).size(), 1u);

  // An 8-bit file name goes as an RFC 2231 value with every other byte escaped.
  c.SetEMailFiles({File("Tour! \xFC" "ber~.DEO", "abc")});
  Send(c, ++n);
  std::string raw = peer->RawMessage(n);
  EXPECT_NE(raw.find("\tname*=iso-8859-1''Tour!%20%FCber~.DEO\r\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("\tfilename*=iso-8859-1''Tour!%20%FCber~.DEO\r\n"), std::string::npos) << raw;

  // A file system name in UTF-8 is labelled as UTF-8 and parses back to its
  // characters (the report gives them in Windows-1252).
  c.SetEMailFiles({File("Fahrt_M\xC3\xBCller_\xE2\x82\xAC.DEO", "abc")});
  m = Send(c, ++n);
  ASSERT_EQ(Attachments(m).size(), 1u);
  EXPECT_EQ(Attachments(m)[0].name, "Fahrt_M\xFCller_\x80.DEO");
  EXPECT_NE(peer->RawMessage(n).find("\tfilename*=utf-8''Fahrt_M%C3%BCller_%E2%82%AC.DEO\r\n"), std::string::npos);

  // A UTF-8 subject: every encoded word holds whole characters, so the
  // parser finds nothing wrong and reads the subject back.
  std::string utf8;
  for (int i = 0; i < 8; ++i) utf8 += "\xC3\x9C" "ber den Pa\xC3\x9F \xE2\x80\x93 30 \xE2\x82\xAC \xF0\x9F\x9A\xB4 ";
  c.SetEMailFiles({});
  c.HdrTo = "coach@y.org";
  c.CharSet = "utf-8";
  c.HdrSubject = utf8;
  m = Send(c, ++n);
  EXPECT_EQ(Unhex(m.One("subject-utf8")), utf8);
}

// Long names of senders and recipients go out folded before their blanks,
// or as encoded words when a word is too long for a line: no header line
// passes 998 bytes (78 where the words allow), and every name and address
// is parsed back as it was given.
TEST_F(MimeTest, LongDisplayNamesAreFoldedWithinTheLineLimits) {
  std::string words;
  while (words.size() < 1200) words += "Radsportverein Berg ";
  words.pop_back();
  struct Row {
    std::string name, parsed;  // as given, as the parser reads it
    std::size_t most;          // the longest header line allowed
  };
  const Row rows[] = {
      {words, words, 78},
      {"\"Doe, " + words + "\"", "Doe, " + words, 78},
      {std::string(1200, 'k'), std::string(1200, 'k'), 998},
      {"Team " + std::string(1100, 'q') + " Nord", "Team " + std::string(1100, 'q') + " Nord", 998},
      {"M\xFCller " + words, "M\xFCller " + words, 998},
  };
  TSmtpCli c;
  Prepare(c);
  c.MailMessage.Add("x");
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name.substr(0, 12));
    c.HdrFrom = row.name + " <rider@x.org>";
    c.HdrTo = "a@x.org, " + row.name + " <coach@y.org>";
    c.HdrCc = row.name + " <c@y.org>";
    c.HdrReplyTo = row.name + " <r@x.org>";
    c.HdrSender = row.name + " <s@x.org>";
    MessageReport m = Send(c, ++n);
    const std::string raw = peer->RawMessage(n);
    const std::string header = raw.substr(0, raw.find("\r\n\r\n"));
    for (const std::string& line : Split(header, "\r\n")) EXPECT_LE(line.size(), row.most) << line.substr(0, 40);
    std::vector<std::string> expected;
    for (auto [field, address] : {std::pair{"from", "rider@x.org"}, {"to", "a@x.org"}, {"to", "coach@y.org"},
                                  {"cc", "c@y.org"}, {"reply-to", "r@x.org"}, {"sender", "s@x.org"}})
      expected.push_back(std::string(field) + " " + (std::string(address) == "a@x.org" ? "" : row.parsed) + " " +
                         address);
    std::vector<std::string> parsed;
    for (const std::string& a : m.All("address")) {
      const auto f = Split(a, "\t");
      ASSERT_EQ(f.size(), 3u);
      parsed.push_back(f[0] + " " + Unhex(f[1]) + " " + f[2]);
    }
    std::sort(parsed.begin(), parsed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(parsed, expected);
  }
}

TEST_F(MimeTest, FileEventsChooseTypeNameHeadersAndSkipsAndOnGetDataFollowsMailMessage) {
  TSmtpCli c;
  Prepare(c);
  c.MailMessage.Add("first");
  std::vector<int> numbers;
  c.OnGetData = [&](TCustomSmtpClient*, int n, std::string& line, int, bool& more) {
    numbers.push_back(n);
    if (n > 2) more = false;
    else line = "from the form " + std::to_string(n);
  };
  std::string a = File("A.DEO", "aaaa"), b = File("B.DEO", "bbbb"), d = File("D.DEO", "dddd");
  c.SetEMailFiles({a, b, d});
  c.OnAttachContentType = [](TSmtpCli*, int index, std::string& type, std::string& name) {
    if (index == 0) {
      type = "application/x-trip";
      name = "renamed \"trip\".deo";
    }
  };
  c.OnAttachHeader = [](TSmtpCli*, int index, const std::string&, TStringList& header) {
    header.Add("X-Index: " + std::to_string(index));
  };
  // The last file is skipped: the multipart body must still be closed.
  c.OnBeforeFileOpen = [](TSmtpCli*, int index, const std::string&, TSmtpBeforeOpenFileAction& action) {
    if (index == 2) action = smtpBeforeOpenFileNext;
  };
  MessageReport m = Send(c, 1);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
  auto texts = Texts(m);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].bytes, "first\r\nfrom the form 1\r\nfrom the form 2\r\n");
  auto atts = Attachments(m);
  ASSERT_EQ(atts.size(), 2u);
  EXPECT_EQ(atts[0].type, "application/x-trip");
  EXPECT_EQ(atts[0].name, "renamed _trip_.deo");
  EXPECT_EQ(atts[1].name, "B.DEO");
  EXPECT_EQ(atts[1].md5, StrMD5("bbbb"));
  std::string raw = peer->RawMessage(1);
  EXPECT_NE(raw.find("X-Index: 0\r\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Index: 1\r\n"), std::string::npos);
  EXPECT_EQ(raw.find("X-Index: 2\r\n"), std::string::npos);
}

// A file gone at send time: without an answer the message is abandoned
// rather than sent without it; "next" sends the rest; a refusal before
// opening aborts (426) and nothing is delivered.
TEST_F(MimeTest, UnreadableAttachmentAtSendTimeFollowsTheAfterOpenAnswer) {
  std::string a = File("A.DEO", "aaaa"), gone = File("GONE.DEO", "gggg");
  struct Row {
    bool answer_next, abort_before;
    int error;
  };
  int delivered = 0;
  for (const Row& row : {Row{false, false, 500}, Row{true, false, 0}, Row{false, true, 426}}) {
    TSmtpCli c;
    Prepare(c);
    c.MailMessage.Add("x");
    File("GONE.DEO", "gggg");
    c.SetEMailFiles({a, gone});
    fs::remove(gone);
    std::vector<std::string> errors;
    if (row.answer_next)
      c.OnAfterFileOpen = [&](TSmtpCli*, int, const std::string&, const std::string& error,
                              TSmtpAfterOpenFileAction& action) {
        errors.push_back(error);
        if (!error.empty()) action = smtpAfterOpenFileNext;
      };
    if (row.abort_before)
      c.OnBeforeFileOpen = [](TSmtpCli*, int, const std::string&, TSmtpBeforeOpenFileAction& action) {
        action = smtpBeforeOpenFileAbort;
      };
    ASSERT_TRUE(Opened(c));
    ASSERT_TRUE(Mailed(c));
    EXPECT_EQ(rec.LastError(), row.error) << c.ErrorMessage();
    PumpFor(100);
    EXPECT_EQ(peer->HasMessage(delivered + 1), row.error == 0);
    if (row.error == 500) { EXPECT_NE(c.ErrorMessage().find("GONE.DEO"), std::string::npos) << c.ErrorMessage(); }
    if (row.error != 0) continue;
    MessageReport m = peer->Message(++delivered);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "");
    EXPECT_NE(errors[1], "");
    ASSERT_EQ(Attachments(m).size(), 1u);
    EXPECT_EQ(Attachments(m)[0].name, "A.DEO");
  }
}

TEST_F(MimeTest, SetEMailFilesRefusesMissingFiles) {
  TSmtpCli c;
  std::string a = File("A.DEO", "a");
  try {
    c.SetEMailFiles({a, "  ", (dir_.path() / "missing.deo").string(), a});
    FAIL() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_EQ(std::string(e.what()), "File not found '" + (dir_.path() / "missing.deo").string() + "'");
  }
  EXPECT_EQ(c.EmailFiles().Lines(), (std::vector<std::string>{a}));
  EXPECT_THROW(c.SetEMailFiles({dir_.path().string()}), SmtpException);  // a folder is no file
}

TEST_F(MimeTest, HtmlMailWithAlternativesInlineImagesAndAFile) {
  THtmlSmtpCli c;
  Prepare(c);
  EXPECT_EQ(c.ContentType(), smtpHtml);
  std::vector<std::string> plain = {"Hello coach,", "see the chart \xFC" "ber the pass.", ".dot line",
                                    std::string(100, 'p') + "=" + std::string(100, 'q')};
  std::vector<std::string> html = {"<html><body>", "<p>Chart:</p><img src=\"cid:IMAGE1\">",
                                   "<img src=\"cid:IMAGE2\">", std::string(150, 'h') + " \xE9", "</body></html>"};
  for (const auto& l : plain) c.PlainText.Add(l);
  for (const auto& l : html) c.HtmlText.Add(l);
  std::string gif = RandomBytes(5000, 7);
  std::string jpg = RandomBytes(3000, 8);
  std::string trip = RandomBytes(777, 9);
  c.SetEMailImages({File("chart.gif", gif)});
  c.SetImageStream(1, std::make_unique<std::istringstream>(jpg));
  c.SetEMailFiles({File("TRIP.DEO", trip)});
  MessageReport m = Send(c, 1);
  EXPECT_EQ(m.One("content-type"), "multipart/related");
  EXPECT_EQ(m.All("multipart"), (std::vector<std::string>{"multipart/related", "multipart/alternative"}));
  auto texts = Texts(m);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].type, "text/plain");
  EXPECT_EQ(texts[0].encoding, "quoted-printable");
  EXPECT_EQ(texts[0].bytes + "\r\n", Lines(plain));  // the line end before the boundary belongs to it
  EXPECT_EQ(texts[1].type, "text/html");
  EXPECT_EQ(texts[1].bytes + "\r\n", Lines(html));
  auto atts = Attachments(m);
  ASSERT_EQ(atts.size(), 3u);
  EXPECT_EQ(atts[0].name, "chart.gif");
  EXPECT_EQ(atts[0].type, "image/gif");
  const std::vector<std::tuple<std::string, std::string, std::string>> parts = {
      {"inline", "<IMAGE1>", StrMD5(gif)}, {"inline", "<IMAGE2>", StrMD5(jpg)}, {"attachment", "<FILE1>", StrMD5(trip)}};
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(std::tie(atts[i].disposition, atts[i].id, atts[i].md5), parts[i]) << i;
  EXPECT_EQ(atts[2].name, "TRIP.DEO");
  EXPECT_EQ(c.MimeState(), smtpMimeDone);
  std::string raw = peer->RawMessage(1);
  EXPECT_NE(raw.find("Content-Type: multipart/related; type=\"multipart/alternative\"; boundary=\"" + c.Boundary0() + "\"\r\n"),
            std::string::npos);
  EXPECT_EQ(c.Boundary0().substr(0, 19), "----=_NextPart_000_");
  EXPECT_NE(c.Boundary0(), c.Boundary1());

  // The same message again reads the stream from its start, also when the
  // streams are let go while it is being sent.
  c.OnAttachHeader = [](TSmtpCli* sender, int index, const std::string&, TStringList&) {
    if (index == 1) static_cast<THtmlSmtpCli*>(sender)->ClearImageStreamArray();
  };
  m = Send(c, 2);
  atts = Attachments(m);
  ASSERT_EQ(atts.size(), 3u);
  EXPECT_EQ(atts[1].md5, StrMD5(jpg));
  EXPECT_EQ(c.GetImageStreamCount(), 0);

  // In plain-text mode it is a plain mailer: MailMessage and the files.
  c.SetContentType(smtpPlainText);
  c.MailMessage.Add("plain");
  m = Send(c, 3);
  EXPECT_EQ(m.One("content-type"), "multipart/mixed");
  texts = Texts(m);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].bytes, "plain\r\n");
  EXPECT_EQ(Attachments(m).size(), 1u);
}
