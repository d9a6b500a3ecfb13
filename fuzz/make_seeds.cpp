// fuzz_seeds FOLDER: the seed inputs of every fuzz target, one folder each,
// made from the demo rider (its trip files cut to a few hundred records, its
// trip list, trip database and settings file, a clip of one of its trips)
// and from a few mail texts and scripted SMTP conversations.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/trip_file.h"
#include "mail/base64.h"
#include "mail/qp.h"
#include "platform/strings.h"
#include "viewing/clip_file.h"

namespace {

namespace fs = std::filesystem;

bool Put(const fs::path& folder, const std::string& name, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (tav::WriteFileAtomically(folder / name, bytes)) return true;
  std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", (folder / name).c_str());
  return false;
}

std::string Read(const fs::path& path) {
  std::string bytes;
  tav::ReadWholeFile(path, bytes);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tav;
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path demo = out / "demo";
  DemoRiderSummary summary;
  std::string error;
  if (!MakeDemoRider(demo, 30, &summary, &error)) {
    std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
    return 1;
  }
  const fs::path rider = FsPath(summary.RiderDir);
  bool ok = true;
  // Trip files of a few hundred records (the fuzzer works on small inputs).
  int n = 0;
  for (const auto& entry : fs::directory_iterator(rider)) {
    if (entry.path().extension() != ".DEO" || n >= 8) continue;
    TripFileData trip;
    if (ReadTripFile(entry.path(), trip, nullptr) != TripReadError::None) continue;
    const int keep = 60 + 40 * n;
    trip.Samples.resize(static_cast<std::size_t>(keep));
    const std::string bytes = EncodeDeoBytes(trip.Samples.data(), keep, trip.ZoneBlock, trip.Scales,
                                             trip.Note, trip.NoteFlag(), trip.Trailer);
    ok &= Put(out / "trip_file", entry.path().filename().string(), bytes);
    if (n == 0) ok &= Put(out / "clip_file", "clip.DEO", EncodeClip(trip.Samples.data(), keep, 10, 50, "Clip = 1"));
    ++n;
  }
  const std::string list = Read(rider / "DEMO.T_L");
  ok &= Put(out / "trip_list", "DEMO.T_L", list);
  ok &= Put(out / "trip_list", "cut.T_L", list.substr(0, list.size() / 2));
  ok &= Put(out / "trip_list", "free.T_L", "20230104_0836241_TAV;001PF;*x|~\xA7y\r\nERASED :007;12;\r\n");
  const std::string database = Read(rider / "DEMO.T_D");
  ok &= Put(out / "trip_database", "DEMO.T_D", database);
  ok &= Put(out / "trip_database", "short.T_D", database.substr(0, 8 + 108 * 40));
  ok &= Put(out / "settings", "GRD_DATA_01.GRD", Read(demo / "DATA" / "GRD_DATA" / "GRD_DATA_01.GRD"));

  const std::string text = "Gr\xFC\xDF" "e vom Rad =\r\n 42 km, 1:30 h \t";
  ok &= Put(out / "mail_codecs", "text", text);
  ok &= Put(out / "mail_codecs", "base64", Base64Encode(text));
  ok &= Put(out / "mail_codecs", "qp", SplitQuotedPrintableString(EncodeQuotedPrintable(text + text + text)));

  ok &= Put(out / "help_text", "topic.RTF",
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue255;}"
            "\\f0\\fs20 Tagebuch\\par \\b Fahrten\\b0\\tab Gr\\'fc\\'dfe \\u8364?\\line{\\*\\x y}}");

  std::string mailSet;
  for (const char* line : {"smtp.example.org", "25", "rider", "secret", "0", "0", "rider@example.org"})
    mailSet += std::string(line) + "\r\n";
  for (int i = 7; i < 19; ++i) mailSet += "\r\n";  // the settings file has 19 lines
  ok &= Put(out / "mail_settings", "MAIL_SET.GRD", mailSet);

  // SMTP conversations: the first byte picks the authentication (0 none,
  // 1 PLAIN, 2 LOGIN, 3 CRAM-MD5, 4 automatic), zero bytes end the server's
  // pieces.
  const std::string z(1, '\0');
  const std::string mail = "250 sender ok\r\n" + z + "250 ok\r\n" + z + "250 ok\r\n" + z +
                           "354 go ahead\r\n" + z + "250 queued\r\n" + z + "221 bye\r\n";
  ok &= Put(out / "smtp_reply", "plain", std::string(1, '\0') + "220 mail.example.org ready\r\n" + z +
                                             "250 hello\r\n" + z + mail);
  ok &= Put(out / "smtp_reply", "auth_login",
            std::string(1, '\x02') + "220 ready\r\n" + z + "250-mail.example.org\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n" + z +
                "334 VXNlcm5hbWU6\r\n" + z + "334 UGFzc3dvcmQ6\r\n" + z + "235 ok\r\n" + z + mail);
  ok &= Put(out / "smtp_reply", "auth_cram",
            std::string(1, '\x04') + "220 ready\r\n" + z + "250-x\r\n250 AUTH=CRAM-MD5\r\n" + z +
                "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n" + z + "235 ok\r\n" + z + mail);
  ok &= Put(out / "smtp_reply", "refused", std::string(1, '\0') + "554 no\r\n");
  return ok ? 0 : 1;
}
