#include <gtest/gtest.h>

#include "mail/qp.h"
#include "mail/smtp_util.h"

using namespace tav;

namespace {
std::pair<std::string, std::string> Parse(std::string_view s) {
  std::string f, a;
  ParseEmail(s, f, a);
  return {f, a};
}
}  // namespace

TEST(ParseEmail, FriendlyNameAndAddressForms) {
  EXPECT_EQ(Parse("John Doe <john@x.org>"), std::make_pair(std::string("John Doe"), std::string("john@x.org")));
  EXPECT_EQ(Parse("  \"Doe, John\" <john@x.org>"),
            std::make_pair(std::string("Doe, John"), std::string("john@x.org")));
  EXPECT_EQ(Parse("'Jo' <jo@x.org>"), std::make_pair(std::string("Jo"), std::string("jo@x.org")));
  EXPECT_EQ(Parse("\"Jo\" jo@x.org"), std::make_pair(std::string("Jo"), std::string("jo@x.org")));
  EXPECT_EQ(Parse("jo@x.org"), std::make_pair(std::string("jo@x.org"), std::string("jo@x.org")));
  EXPECT_EQ(Parse("<jo@x.org>"), std::make_pair(std::string(""), std::string("jo@x.org")));
  EXPECT_EQ(Parse("Jo jo@x.org"), std::make_pair(std::string("Jo"), std::string("jo@x.org")));
  // Damaged input stays inside its bounds.
  EXPECT_EQ(Parse("\"unterminated"), std::make_pair(std::string("unterminated"), std::string("")));
  EXPECT_EQ(Parse("Jo <jo@x.org"), std::make_pair(std::string("Jo"), std::string("jo@x.org")));
  EXPECT_EQ(Parse(""), std::make_pair(std::string(""), std::string("")));
  EXPECT_EQ(Parse("nobody"), std::make_pair(std::string("nobody"), std::string("")));
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
  // Every line within 76 characters (the first after "Subject: ").
  std::size_t start = 0, column = 9;
  std::string decoded;
  while (true) {
    std::size_t end = enc.find("\r\n", start);
    std::string line = enc.substr(start, end == std::string::npos ? std::string::npos : end - start);
    EXPECT_LE(line.size() + column, 76u) << line;
    std::size_t b = line.find("=?iso-8859-1?Q?");
    ASSERT_NE(b, std::string::npos);
    std::size_t e = line.rfind("?=");
    ASSERT_NE(e, std::string::npos);
    std::string word = line.substr(b + 15, e - b - 15);
    EXPECT_LE(e + 2 - b, 75u);
    for (char& c : word)
      if (c == '_') c = ' ';
    decoded += DecodeQuotedPrintable(word);
    if (end == std::string::npos) break;
    EXPECT_EQ(enc[end + 2], ' ');  // folded with a blank
    start = end + 2;
    column = 0;
  }
  EXPECT_EQ(decoded, subject);
  EXPECT_EQ(EncodeAddressItem("J\xFCrgen <j@x.de>", "iso-8859-1"), "=?iso-8859-1?Q?J=FCrgen?= <j@x.de>");
  EXPECT_EQ(EncodeAddressItem("plain <p@x.de>", "iso-8859-1"), "plain <p@x.de>");
}

TEST(DataPhase, EveryPhysicalLineIsDotStuffedAndEndsInCrLf) {
  EXPECT_EQ(DataLineToWire(""), "\r\n");
  EXPECT_EQ(DataLineToWire("."), "..\r\n");
  EXPECT_EQ(DataLineToWire(".x"), "..x\r\n");
  EXPECT_EQ(DataLineToWire("a.b"), "a.b\r\n");
  EXPECT_EQ(DataLineToWire("one\r\n.two\n.\rthree\r"), "one\r\n..two\r\n..\r\nthree\r\n\r\n");
  EXPECT_EQ(DataLineToWire("x\n\n.y"), "x\r\n\r\n..y\r\n");
  EXPECT_TRUE(HasLineBreakOrNul(std::string("a\0b", 3)));
  EXPECT_TRUE(HasLineBreakOrNul("a\rb"));
  EXPECT_FALSE(HasLineBreakOrNul("a\tb"));
  EXPECT_EQ(SafeParameterValue("a\"b\\c\rd.deo"), "a_b_c_d.deo");
}
