#include <gtest/gtest.h>

#include <algorithm>

#include "mail/qp.h"
#include "mail/mime_util.h"
#include "mail/smtp_util.h"
#include "smtp_test_support.h"

using namespace tav;
using tav::smtptest::Split;

TEST(ParseEmail, FriendlyNameAndAddressForms) {
  struct Case {
    const char* text;
    const char* name;
    const char* address;
  };
  for (Case k : {Case{"John Doe <john@x.org>", "John Doe", "john@x.org"},
                 {"  \"Doe, John\" <john@x.org>", "Doe, John", "john@x.org"}, {"'Jo' <jo@x.org>", "Jo", "jo@x.org"},
                 {"\"Jo\" jo@x.org", "Jo", "jo@x.org"},
                 {"jo@x.org", "jo@x.org", "jo@x.org"}, {"<jo@x.org>", "", "jo@x.org"}, {"Jo jo@x.org", "Jo", "jo@x.org"},
                 // Damaged input stays inside its bounds.
                 {"\"unterminated", "unterminated", ""}, {"Jo <jo@x.org", "Jo", "jo@x.org"}, {"", "", ""},
                 {"nobody", "nobody", ""}}) {
    std::string name = "?", address = "?";
    ParseEmail(k.text, name, address);
    EXPECT_EQ(name, k.name) << k.text;
    EXPECT_EQ(address, k.address) << k.text;
  }
}

TEST(AddressList, SplitsOutsideQuotesAndDropsEmptyItems) {
  EXPECT_EQ(SplitAddressList("a@x; b@y, c@z"), (std::vector<std::string>{"a@x", "b@y", "c@z"}));
  // A comma inside double quotes belongs to the name.
  EXPECT_EQ(SplitAddressList("a@x, \"Doe, John\" <j@y>"),
            (std::vector<std::string>{"a@x", "\"Doe, John\" <j@y>"}));
  EXPECT_EQ(SplitAddressList(" ;a@x;; ,"), (std::vector<std::string>{"a@x"}));
  EXPECT_TRUE(SplitAddressList("").empty());
}

TEST(AddressList, FoldedHeaderOneItemPerLine) {
  EXPECT_EQ(FoldedAddressHeader("To:", {"a", "b"}), (std::vector<std::string>{"To: a,", "\tb"}));
  EXPECT_EQ(FoldedAddressHeader(" Cc: ", {"a"}), (std::vector<std::string>{"Cc: a"}));
}

TEST(HeaderEncoding, EncodedWordsStayShortAndDecodeBack) {
  std::string subject = "Fahrt \xFC" "ber den Berg = sch\xF6n? ";
  for (int i = 0; i < 4; ++i) subject += subject;
  std::string enc = EncodeHeaderText(subject, "iso-8859-1", 9);
  // Every line within 76 characters (the first after "Subject: "), folded
  // with a blank, each one encoded word.
  std::string decoded;
  std::size_t column = 9;
  for (const std::string& line : Split(enc, "\r\n")) {
    EXPECT_LE(line.size() + column, 76u) << line;
    if (column == 0) { EXPECT_EQ(line[0], ' '); }
    column = 0;
    std::size_t b = line.find("=?iso-8859-1?Q?");
    ASSERT_NE(b, std::string::npos);
    std::size_t e = line.rfind("?=");
    ASSERT_NE(e, std::string::npos);
    std::string word = line.substr(b + 15, e - b - 15);
    EXPECT_LE(e + 2 - b, 75u);
    std::replace(word.begin(), word.end(), '_', ' ');
    decoded += DecodeQuotedPrintable(word);
  }
  EXPECT_EQ(decoded, subject);
  EXPECT_EQ(EncodeAddressItem("J\xFCrgen <j@x.de>", "iso-8859-1"), "=?iso-8859-1?Q?J=FCrgen?= <j@x.de>");
  EXPECT_EQ(EncodeAddressItem("plain <p@x.de>", "iso-8859-1"), "plain <p@x.de>");
}

// With UTF-8 an encoded word ends only between characters: each word
// decodes to whole characters (two, three and four bytes here), and the
// words together to the text.
TEST(HeaderEncoding, Utf8EncodedWordsHoldWholeCharacters) {
  std::string text;
  for (int i = 0; i < 10; ++i) text += "\xC3\x9C" "ber den Pa\xC3\x9F \xE2\x80\x93 30 \xE2\x82\xAC \xF0\x9F\x9A\xB4 ";
  // Whole characters: every lead byte has all its continuation bytes.
  auto whole = [](const std::string& b) {
    for (std::size_t i = 0; i < b.size();) {
      const auto c = static_cast<unsigned char>(b[i]);
      const std::size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
      if (len == 0 || i + len > b.size()) return false;
      for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(b[i + k]) & 0xC0) != 0x80) return false;
      i += len;
    }
    return true;
  };
  for (const char* charset : {"utf-8", "UTF-8", "utf8", "UTF8"}) {
    const std::string open = std::string("=?") + charset + "?Q?";
    std::string decoded;
    int words = 0;
    for (const std::string& line : Split(EncodeHeaderText(text, charset, 9), "\r\n")) {
      std::size_t b = line.find(open), e = line.rfind("?=");
      ASSERT_TRUE(b != std::string::npos && e != std::string::npos) << line;
      std::string word = line.substr(b + open.size(), e - b - open.size());
      std::replace(word.begin(), word.end(), '_', ' ');
      word = DecodeQuotedPrintable(word);
      EXPECT_TRUE(whole(word)) << line;
      decoded += word;
      ++words;
    }
    EXPECT_GT(words, 5);
    EXPECT_EQ(decoded, text);
  }
}

// A subject of any length goes out in lines of at most 998 characters and,
// where its words allow, 78; unfolded (CR LF dropped, RFC 5322) it is the
// subject again, or its encoded words decode to it.
TEST(HeaderEncoding, LongSubjectsAreFoldedWithinTheLineLimits) {
  std::string words;
  while (words.size() < 1200) words += "Ausfahrt am Berg ";
  std::string spaced;
  while (spaced.size() < 1200) spaced += "x     ";
  struct Row {
    std::string subject;
    std::size_t most;  // the longest line allowed, "Subject: " included
    bool encoded;
  };
  const Row rows[] = {
      {"short", 78, false},
      {std::string(69, 'a'), 78, false},
      {words, 78, false},
      {" " + words, 78, false},
      {spaced, 78, false},
      {std::string(100, 'b') + " " + std::string(100, 'c'), 109, false},
      {std::string(989, 'd'), 998, false},
      {std::string(1200, 'e'), 76, true},
      {"tail " + std::string(1000, 'f'), 76, true},
      {std::string(1200, '\xE9'), 76, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.subject.substr(0, 20) + "... of " + std::to_string(row.subject.size()));
    const std::string folded = FoldHeaderText(row.subject, "iso-8859-1", 9);
    const std::vector<std::string> lines = Split("Subject: " + folded, "\r\n");
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(lines[i].size(), row.most) << i;
      if (i > 0) {
        EXPECT_TRUE(lines[i][0] == ' ' || lines[i][0] == '\t') << lines[i];
        EXPECT_NE(lines[i].find_first_not_of(" \t"), std::string::npos) << "a line of blanks alone";
      }
    }
    EXPECT_EQ(folded.find("=?") == 0, row.encoded);
    if (!row.encoded) {
      std::string unfolded = folded;
      for (std::size_t p; (p = unfolded.find("\r\n")) != std::string::npos;) unfolded.erase(p, 2);
      EXPECT_EQ(unfolded, row.subject);
    }
  }
}

TEST(DataPhase, EveryPhysicalLineIsDotStuffedAndEndsInCrLf) {
  for (auto [line, wire] : {std::pair{"", "\r\n"}, {".", "..\r\n"}, {".x", "..x\r\n"}, {"a.b", "a.b\r\n"},
                            {"one\r\n.two\n.\rthree\r", "one\r\n..two\r\n..\r\nthree\r\n\r\n"},
                            {"x\n\n.y", "x\r\n\r\n..y\r\n"}})
    EXPECT_EQ(DataLineToWire(line), wire) << line;
  EXPECT_TRUE(HasLineBreakOrNul(std::string("a\0b", 3)));
  EXPECT_TRUE(HasLineBreakOrNul("a\rb"));
  EXPECT_FALSE(HasLineBreakOrNul("a\tb"));
  EXPECT_EQ(SafeParameterValue("a\"b\\c\rd.deo"), "a_b_c_d.deo");
}

// The SMTP line limit counts the doubled dot and each physical line alone.
TEST(DataPhase, LineLimitCharSetLabelAndMessageIdDomain) {
  const std::string x998(998, 'x');
  for (auto [line, over] : {std::pair{x998, false}, {x998 + "x", true}, {"." + x998.substr(1), true},
                            {x998 + "\r\n" + x998, false}, {x998 + "\n." + x998, true}})
    EXPECT_EQ(ExceedsSmtpLineLimit(line), over) << line.size();
  EXPECT_EQ(CharSetFor("ISO-8859-1", "\x9F"), "windows-1252");
  EXPECT_EQ(CharSetFor("iso-8859-1", "\xA0\xFC\x7F"), "iso-8859-1");
  EXPECT_EQ(CharSetFor("utf-8", "\xE2\x82\xAC"), "utf-8");
  for (auto [sender, domain] : {std::pair{"a@b@mail.x-y.org", "@mail.x-y.org>"}, {"r@J\xFCrgen", "@localhost>"},
                                {"nobody", "@localhost>"}, {"a@x..org", "@localhost>"}, {"a@.x.org", "@localhost>"}})
    EXPECT_TRUE(NewMessageId(sender).ends_with(domain)) << NewMessageId(sender);
}
