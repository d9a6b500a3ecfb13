#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "mail/base64.h"
#include "mail/md5.h"
#include "mail/mime_util.h"
#include "mail/qp.h"
#include "platform/strings.h"
#include "smtp_test_support.h"

using namespace tav;
using namespace tav::smtptest;

namespace {

std::string HmacHex(std::string_view key, std::string_view data) {
  return DigestToHex(HmacMD5(key, data), false);
}

std::string RunPython(const std::string& script, const std::string& args) {
  std::string cmd = "/usr/bin/python3 '" + (SourceDir() / "tests/mail" / script).string() + "' " + args + " 2>&1";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "cannot start python";
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

}  // namespace

// ---------------------------------------------------------------- MD5

TEST(MD5, Rfc1321TestSuiteInUpperCaseHex) {
  for (auto [text, digest] :
       {std::pair{"", "D41D8CD98F00B204E9800998ECF8427E"}, {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"}, {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"}})
    EXPECT_EQ(StrMD5(text), digest) << text;
}

TEST(MD5, PiecewiseUpdatesAndBlockBoundariesGiveTheSameDigest) {
  std::string data;
  std::mt19937 rng(7);
  for (int i = 0; i < 40000; ++i) data += static_cast<char>(rng() & 0xFF);
  const std::string whole = StrMD5(data);
  // Every split point near the 64-byte block and the 56-byte padding edges.
  for (std::size_t len : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 16384u, 16385u, 40000u}) {
    std::string_view part(data.data(), len);
    TMD5Context ctx;
    MD5Init(ctx);
    for (std::size_t i = 0; i < part.size();) {
      std::size_t n = std::min<std::size_t>(1 + (i % 70), part.size() - i);
      MD5Update(ctx, part.data() + i, n);
      i += n;
    }
    TMD5Digest d;
    MD5Final(d, ctx);
    EXPECT_EQ(DigestToHex(d, true), StrMD5(part)) << len;
  }
  TMD5Context ctx;
  MD5Init(ctx);
  MD5UpdateBuffer(ctx, data.data(), data.size());
  TMD5Digest d;
  MD5Final(d, ctx);
  EXPECT_EQ(DigestToHex(d, true), whole);
}

TEST(MD5, FileDigestMatchesTheStringDigest) {
  TempDir tmp("md5");
  const fs::path& dir = tmp.path();
  std::string data(250000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 300);
  WriteFileBytes(dir / "f.bin", data);
  WriteFileBytes(dir / "empty.bin", "");
  EXPECT_EQ(FileMD5(dir / "f.bin"), StrMD5(data));
  EXPECT_EQ(FileMD5(dir / "empty.bin"), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(FileMD5(dir / "missing.bin"), "");
  EXPECT_EQ(GetMD5(data.data(), data.size()), StrMD5(data));
}

TEST(HmacMD5, Rfc2202Vectors) {
  struct Row {
    std::string key, data, digest;
  };
  // 80-byte keys are longer than the block, so the key is hashed first; a
  // key of exactly 64 bytes is used as it is, one of 65 is hashed.
  for (const Row& r : {Row{std::string(16, '\x0b'), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
                       {"Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
                       {std::string(16, '\xaa'), std::string(50, '\xdd'), "56be34521d144c88dbb8c733f0e8b3f6"},
                       {Unhex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd'),
                        "697eaf0aca3a3aea3a75164746ffaa79"},
                       {std::string(16, '\x0c'), "Test With Truncation", "56461ef2342edc00f9bab995690efd4c"},
                       {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
                        "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
                       {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
                        "6f630fad67cda0ee1fb1f562db3aa53e"},
                       {std::string(64, 'k'), "x", "f38420ee2e6c7cd5d9977bffba49d984"},
                       {std::string(65, 'k'), "x", "35d6a3481580c58aab0efcc7f04c5e59"},
                       {"", "", "74e6f7298a9c2d168935f58c001bad88"}})
    EXPECT_EQ(HmacHex(r.key, r.data), r.digest) << r.data;
}

TEST(CramMD5, Rfc2195Example) {
  std::string challenge = Base64Decode("PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+");
  EXPECT_EQ(challenge, "<1896.697170952@postoffice.reston.mci.net>");
  std::string answer = CramMD5Response("tim", "tanstaaftanstaaf", challenge);
  EXPECT_EQ(answer, "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw");
  EXPECT_EQ(Base64Decode(answer), "tim b913a602c7eda7a495b4e6e7334d3890");
}

// ---------------------------------------------------------------- Base64

// Well-formed data is checked against Python below.
TEST(Base64, MalformedInput) {
  // Line breaks and blanks between groups are skipped.
  EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy \n"), "foobar");
  // Truncated and damaged input never reads past its end.
  for (auto [bad, plain] : {std::pair{"Z", ""}, {"Zm", "f"}, {"Zm9", "fo"}, {"=", ""}, {"====", ""},
                            {"Zm9v=YmFy", "foo"}, {"!!!\x01\xff", ""}})
    EXPECT_EQ(Base64Decode(bad), plain) << bad;
  std::string heap_tail = "Zm9vYg";  // exact-size buffer for ASan
  EXPECT_EQ(Base64Decode(std::string_view(heap_tail.data(), heap_tail.size())), "foob");
}

TEST(Base64, FileLinesHold72CharactersAndDecodeToTheFile) {
  TempDir tmp("b64");
  const fs::path& dir = tmp.path();
  for (std::size_t size : {0u, 1u, 2u, 3u, 53u, 54u, 55u, 107u, 108u, 109u, 5000u}) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 31 + 5);
    fs::path p = dir / ("f" + std::to_string(size));
    WriteFileBytes(p, data);
    auto stream = InitFileEncBase64(p, 32);
    std::vector<std::string> lines;
    bool more = true;
    while (more) lines.push_back(DoFileEncBase64(*stream, more));
    EndFileEncBase64(stream);
    EXPECT_EQ(stream, nullptr);
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i + 1 < lines.size()) { EXPECT_EQ(lines[i].size(), 72u) << size; }
      EXPECT_LE(lines[i].size(), 72u);
      joined += lines[i];
    }
    EXPECT_EQ(joined, Base64Encode(data)) << size;
    // A size that is a multiple of 54 ends with an empty line; 0 bytes give one empty line.
    if (size % 54 == 0) { EXPECT_EQ(lines.back(), "") << size; }
    if (size == 54) { EXPECT_EQ(lines.size(), 2u); }
    if (size == 0) { EXPECT_EQ(lines.size(), 1u); }
  }
  EXPECT_THROW(InitFileEncBase64(dir / "missing", 32), std::runtime_error);
}

// ---------------------------------------------------------------- quoted-printable

TEST(QuotedPrintable, EncodesEqualsControlsAndHighBytes) {
  // A blank at the end would be stripped by transports: it is encoded.
  for (auto [plain, coded] : {std::pair{"a=b", "a=3Db"}, {"line\r\nnext", "line=0D=0Anext"},
                              {"Hello World", "Hello World"}, {"\xFC" "ber\t~\x7F", "=FCber=09~=7F"},
                              {"end ", "end=20"}, {"  ", " =20"}, {"", ""}})
    EXPECT_EQ(EncodeQuotedPrintable(plain), coded) << plain;
}

TEST(QuotedPrintable, SplitNeverCutsAnEscape) {
  std::string s76(76, 'x');
  EXPECT_EQ(SplitQuotedPrintableString(s76), s76);
  std::string s77(77, 'x');
  EXPECT_EQ(SplitQuotedPrintableString(s77), std::string(75, 'x') + "=\r\n" + "xx");
  // An escape that would straddle the cut at 75 moves to the next line.
  for (int at = 70; at <= 76; ++at) {
    std::string text = std::string(static_cast<std::size_t>(at), 'a') + "=3D" + std::string(40, 'b');
    std::string split = SplitQuotedPrintableString(text);
    std::vector<std::string> lines = Split(split, "\r\n");
    std::string rejoined = lines.back();
    EXPECT_LE(rejoined.size(), 76u);
    for (std::size_t i = lines.size() - 1; i-- > 0;) {
      // Every line but the last ends with a soft break and holds at most 75 characters before it.
      ASSERT_EQ(lines[i].back(), '=');
      std::string body = lines[i].substr(0, lines[i].size() - 1);
      EXPECT_LE(body.size(), 75u);
      // The piece does not end inside "=3D".
      auto eq = body.rfind('=');
      if (eq != std::string::npos) { EXPECT_LE(eq + 3, body.size()) << at; }
      rejoined = body + rejoined;
    }
    EXPECT_EQ(rejoined, text) << at;
    EXPECT_EQ(DecodeQuotedPrintable(split), DecodeQuotedPrintable(text));
  }
}

TEST(QuotedPrintable, DecoderHandlesSoftBreaksAndMalformedEscapes) {
  // Malformed escapes stay as they are and nothing past the end is read.
  for (auto [coded, plain] : {std::pair{"a=3Db=0D=0A", "a=b\r\n"}, {"soft=\r\nbreak", "softbreak"},
                              {"soft=\nbreak", "softbreak"}, {"lower=fc", "lower\xFC"}, {"=", "="}, {"=A", "=A"},
                              {"x=G1", "x=G1"}, {"=\r", ""}})
    EXPECT_EQ(DecodeQuotedPrintable(coded), plain) << coded;
  std::string tail = "ab=4";
  EXPECT_EQ(DecodeQuotedPrintable(std::string_view(tail.data(), tail.size())), "ab=4");
}

TEST(Codecs, AgreeWithPythonOnRandomData) {
  TempDir tmp("codecs");
  const fs::path& dir = tmp.path();
  std::mt19937 rng(20240611);
  const int count = 60;
  std::vector<std::string> datas;
  for (int i = 0; i < count; ++i) {
    std::size_t size = (i < 8) ? static_cast<std::size_t>(i) : rng() % 3000;
    std::string data(size, '\0');
    for (auto& c : data) {
      // Half the samples are text-like (letters, blanks, line breaks, '='),
      // the other half any byte.
      unsigned r = rng();
      if (i % 2) {
        c = static_cast<char>(r & 0xFF);
      } else {
        static const char kText[] = "abc xyz\t=.\r\nABC\xE4\xFC 123";
        c = kText[r % (sizeof kText - 1)];
      }
    }
    datas.push_back(data);
    const std::string n = std::to_string(i);
    WriteFileBytes(dir / ("data_" + n + ".bin"), data);
    WriteFileBytes(dir / ("b64_" + n + ".txt"), Base64Encode(data));
    WriteFileBytes(dir / ("qp_" + n + ".txt"), SplitQuotedPrintableString(EncodeQuotedPrintable(data)));
  }
  std::string out = RunPython("codecs_check.py", "'" + dir.string() + "' " + std::to_string(count));
  EXPECT_EQ(out, "OK\n");
  for (int i = 0; i < count && out == "OK\n"; ++i) {
    std::string n = std::to_string(i);
    EXPECT_EQ(ReadFileBytes(dir / ("py_b64_" + n + ".txt")), Base64Encode(datas[static_cast<std::size_t>(i)]));
    EXPECT_EQ(Base64Decode(ReadFileBytes(dir / ("py_mime64_" + n + ".txt"))), datas[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(DecodeQuotedPrintable(ReadFileBytes(dir / ("py_qp_" + n + ".txt"))),
              ReadFileBytes(dir / ("py_qpdec_" + n + ".bin"))) << i;
    EXPECT_EQ(DecodeQuotedPrintable(ReadFileBytes(dir / ("py_qpt_" + n + ".txt"))),
              ReadFileBytes(dir / ("py_qptdec_" + n + ".bin"))) << i;
  }
}

// ---------------------------------------------------------------- helpers

TEST(MimeUtil, ContentTypeByExtensionWithoutCase) {
  for (const char* name : {"TRIP.DEO", "noext", "dir.html/file", ""})
    EXPECT_EQ(FilenameToContentType(name), "application/octet-stream") << name;
  for (auto [name, type] : {std::pair{"A.HTML", "text/html"}, {"page.htm", "text/html"}, {"x.gif", "image/gif"},
                            {"x.Bmp", "image/bmp"}, {"x.jpeg", "image/jpeg"}, {"x.JPG", "image/jpeg"},
                            {"notes.txt", "text/plain"}, {"map.PNG", "image/png"}})
    EXPECT_EQ(FilenameToContentType(name), type) << name;
}

TEST(MimeUtil, DotEscapeDoublesLeadingDots) {
  for (auto [text, escaped] : {std::pair{".", ".."}, {".x\r\n.\r\na.b", "..x\r\n..\r\na.b"}, {"", ""}, {"a\n.b", "a\n.b"}})
    EXPECT_EQ(DotEscape(text), escaped) << text;
}

TEST(MimeUtil, MailDateIsUtcWithEnglishNamesInAnyLocale) {
  EXPECT_EQ(Rfc822DateTime(0), "Thu, 1 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(Rfc822DateTime(1110117909), "Sun, 6 Mar 2005 14:05:09 GMT");
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "C.UTF-8")) {
    EXPECT_EQ(Rfc822DateTime(1700000000), "Tue, 14 Nov 2023 22:13:20 GMT");
  }
  std::setlocale(LC_ALL, saved.c_str());
}
