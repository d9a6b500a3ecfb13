#include "core/settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bad_copy.h"
#include "core/core_data.h"
#include "core/statistics.h"
#include "core/trip_catalog.h"
#include "core/trip_database.h"
#include "core/trip_list.h"
#include "core/trip_types.h"
#include "core/user_words.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {

namespace {
// Offsets of the settings file.
constexpr std::size_t kOffVersion = 0;
constexpr std::size_t kOffRider = 4;
constexpr std::size_t kOffRiderName = 8;
constexpr std::size_t kRiderNameBytes = 32;
constexpr std::size_t kOffRiderTable = 40;
constexpr std::size_t kOffZones = kOffRiderTable + kRiderCount * RiderRecord::kBytes;  // 1240
constexpr std::size_t kOffZoneNames =
    kOffZones + kRiderCount * kZoneRows * kZoneRowValues * 2;                         // 1840
constexpr std::size_t kOffZoneColors = kOffZoneNames + kZoneNameCount * kZoneNameChars + 2;  // 1932
constexpr std::size_t kOffChartColors = kOffZoneColors + kZoneNameCount * 4;           // 1992
constexpr std::size_t kOffUnitFlags = kOffChartColors + kChartColorCount * 4;          // 2056
constexpr std::size_t kOffSmooth = kOffUnitFlags + 4;                                  // 2060
constexpr std::size_t kOffLanguage = kOffSmooth + 40;                                  // 2100
constexpr std::size_t kOffCompact = kOffLanguage + 1;
constexpr std::size_t kOffClimb = kOffLanguage + 4;                                    // 2104
constexpr std::size_t kOffDiary = kOffClimb + 4;                                       // 2108
constexpr std::size_t kOffCalendar = kOffDiary + kDiaryColumnOrderSize * 4;            // 2228
constexpr std::size_t kOffGraf6 = kOffCalendar + kCalendarShowCount * 40;              // 2348
constexpr std::size_t kOffScaleMin = kOffGraf6 + kGraf6SettingsSize * 4;               // 2404
constexpr std::size_t kOffScaleMax = kOffScaleMin + kScaleWords * 4;                   // 2444
constexpr std::size_t kOffEnd = kOffScaleMax + kScaleWords * 4;                        // 2484
static_assert(kOffZones == 1240 && kOffZoneNames == 1840 && kOffZoneColors == 1932);
static_assert(kOffUnitFlags == 2056 && kOffClimb == 2104 && kOffDiary == 2108);
static_assert(kOffCalendar == 2228 && kOffGraf6 == 2348 && kOffScaleMin == 2404);
static_assert(kOffEnd + 4 == kSettingsFileBytes);

void Note(std::vector<std::string>* replaced, std::string text) {
  if (replaced) replaced->push_back(std::move(text));
}

// Captures the defaults once, for replacing single values.
struct Defaults {
  RiderRecord Riders[kRiderCount];
  uint16_t Zones[kRiderCount][kZoneRows][kZoneRowValues];
  char Names[kZoneNameCount][kZoneNameChars];
  TColor ZoneColor[kZoneNameCount];
  TColor Chart[kChartColorCount];
  int32_t Smooth[10];
  int32_t Diary[kDiaryColumnOrderSize];
  CalendarShow Calendar[kCalendarShowCount];
  int32_t Graf6[kGraf6SettingsSize];
  float Climb;
  uint8_t Language;
};

const Defaults& TheDefaults() {
  static const Defaults d = [] {
    // Save the current values, take the defaults, restore.
    Defaults saved, def;
    auto capture = [](Defaults& x) {
      std::copy(std::begin(RiderTable), std::end(RiderTable), x.Riders);
      std::memcpy(x.Zones, RiderZones, sizeof RiderZones);
      std::memcpy(x.Names, ZoneNames, sizeof ZoneNames);
      std::copy(std::begin(ZoneColors), std::end(ZoneColors), x.ZoneColor);
      std::copy(std::begin(ChartColors), std::end(ChartColors), x.Chart);
      std::copy(std::begin(SmoothLevel), std::end(SmoothLevel), x.Smooth);
      std::copy(std::begin(DiaryColumnOrder), std::end(DiaryColumnOrder), x.Diary);
      std::copy(std::begin(CalendarShows), std::end(CalendarShows), x.Calendar);
      std::copy(std::begin(Graf6Settings), std::end(Graf6Settings), x.Graf6);
      x.Climb = ClimbGradeThreshold;
      x.Language = LanguageIndex;
    };
    capture(saved);
    int8_t rider = CurrentRider;
    std::string name = CurrentRiderName;
    int32_t units = UnitFlags;
    bool compact = CompactLayout;
    float smin[kScaleWords], smax[kScaleWords];
    std::copy(std::begin(ScaleMin), std::end(ScaleMin), smin);
    std::copy(std::begin(ScaleMax), std::end(ScaleMax), smax);
    ResetSettingsToDefaults();
    capture(def);
    // Restore.
    std::copy(std::begin(saved.Riders), std::end(saved.Riders), RiderTable);
    std::memcpy(RiderZones, saved.Zones, sizeof RiderZones);
    std::memcpy(ZoneNames, saved.Names, sizeof ZoneNames);
    std::copy(std::begin(saved.ZoneColor), std::end(saved.ZoneColor), ZoneColors);
    std::copy(std::begin(saved.Chart), std::end(saved.Chart), ChartColors);
    std::copy(std::begin(saved.Smooth), std::end(saved.Smooth), SmoothLevel);
    std::copy(std::begin(saved.Diary), std::end(saved.Diary), DiaryColumnOrder);
    std::copy(std::begin(saved.Calendar), std::end(saved.Calendar), CalendarShows);
    std::copy(std::begin(saved.Graf6), std::end(saved.Graf6), Graf6Settings);
    ClimbGradeThreshold = saved.Climb;
    LanguageIndex = saved.Language;
    CurrentRider = rider;
    CurrentRiderName = name;
    UnitFlags = units;
    SetUnitFactors();
    CompactLayout = compact;
    std::copy(std::begin(smin), std::end(smin), ScaleMin);
    std::copy(std::begin(smax), std::end(smax), ScaleMax);
    return def;
  }();
  return d;
}

bool InRange(float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; }

bool ValidZoneRow(const uint16_t* row, int r) {
  int lo = 30, hi = r == kZoneRowPower ? 2000 : 250;
  if (row[0] < lo || row[0] > hi) return false;
  bool ended = false;
  uint16_t prev = 0;
  for (int k = 1; k <= 6; ++k) {
    if (row[k] == 0) { ended = true; continue; }
    if (ended || row[k] > 400 || row[k] <= prev) return false;
    prev = row[k];
  }
  for (int k = 7; k < kZoneRowValues; ++k)
    if (row[k] != 0) return false;
  return row[1] != 0;
}

bool ValidZoneName(const char* name) {
  bool ended = false;
  for (int i = 0; i < kZoneNameChars; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == 0) { ended = true; continue; }
    if (ended || c < 0x20 || c == 0x7F) return false;
  }
  return ended;
}

}  // namespace

bool IsValidRiderName(std::string_view name) {
  if (name.empty() || name.size() >= kRiderNameBytes) return false;
  if (name == "." || name == "..") return false;
  if (name.front() == ' ' || name.back() == ' ' || name.back() == '.') return false;
  for (char ch : name) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return false;
    if (std::strchr("/\\:*?\"<>|;", ch)) return false;
  }
  return true;
}

bool IsPlaceholderRiderName(std::string_view name) {
  return name.find("NEW") != std::string_view::npos || name.find("RIDER_") != std::string_view::npos;
}

void ValidateSettings(std::vector<std::string>* replaced) {
  const Defaults& d = TheDefaults();
  for (int r = 0; r < kRiderCount; ++r) {
    RiderRecord& rec = RiderTable[r];
    rec.Name[sizeof rec.Name - 1] = '\0';
    if (!IsValidRiderName(rec.NameText())) {
      Note(replaced, Format("rider %i: name", r + 1));
      rec.SetName(d.Riders[r].NameText());
    }
    if (!InRange(rec.Weight, 20.0f, 250.0f)) {
      Note(replaced, Format("rider %i: weight", r + 1));
      rec.Weight = d.Riders[r].Weight;
    }
    if (!InRange(rec.Height, 100.0f, 250.0f)) {
      Note(replaced, Format("rider %i: height", r + 1));
      rec.Height = d.Riders[r].Height;
    }
    for (int b = 0; b < 5; ++b) {
      static constexpr float kLo[3] = {500.0f, 1.0f, 0.0f}, kHi[3] = {3500.0f, 50.0f, 100.0f};
      for (int k = 0; k < 3; ++k)
        if (!InRange(rec.Bike[b][k], kLo[k], kHi[k])) {
          Note(replaced, Format("rider %i: bike %i value %i", r + 1, b + 1, k + 1));
          rec.Bike[b][k] = d.Riders[r].Bike[b][k];
        }
    }
    for (int row = 0; row < kZoneRows; ++row)
      if (!ValidZoneRow(RiderZones[r][row], row)) {
        Note(replaced, Format("rider %i: zone table %i", r + 1, row));
        std::copy(std::begin(d.Zones[r][row]), std::end(d.Zones[r][row]), RiderZones[r][row]);
      }
  }
  if (CurrentRider < 0 || CurrentRider >= kRiderCount) {
    Note(replaced, "current rider");
    CurrentRider = 0;
  }
  if (!IsValidRiderName(CurrentRiderName)) {
    Note(replaced, "current rider name");
    CurrentRiderName = RiderTable[CurrentRider].NameText();
  }
  for (int i = 0; i < kZoneNameCount; ++i)
    if (!ValidZoneName(ZoneNames[i])) {
      Note(replaced, Format("zone name %i", i));
      std::memcpy(ZoneNames[i], d.Names[i], kZoneNameChars);
    }
  for (int i = 0; i < kZoneNameCount; ++i)
    if (ZoneColors[i] > 0xFFFFFF) {
      Note(replaced, Format("zone colour %i", i));
      ZoneColors[i] = d.ZoneColor[i];
    }
  for (int i = 0; i < kChartColorCount; ++i)
    if (ChartColors[i] > 0xFFFFFF) {
      Note(replaced, Format("chart colour %i", i));
      ChartColors[i] = d.Chart[i];
    }
  if (UnitFlags < 0 || UnitFlags > 31) {
    Note(replaced, "unit options");
    UnitFlags = 0;
  }
  for (int i = 0; i < 10; ++i)
    if (SmoothLevel[i] < 0 || SmoothLevel[i] > 9) {
      Note(replaced, Format("smoothing level %i", i));
      SmoothLevel[i] = d.Smooth[i];
    }
  if (LanguageIndex > 2) {
    Note(replaced, "language");
    LanguageIndex = d.Language;
  }
  if (!InRange(ClimbGradeThreshold, 0.5f, 30.0f)) {
    Note(replaced, "climbing grade");
    ClimbGradeThreshold = d.Climb;
  }
  {
    bool ok = DiaryColumnOrder[0] == kDiaryColumnMarker;
    bool seen[20] = {};
    for (int c = 1; ok && c <= 19; ++c) {
      int v = DiaryColumnOrder[c];
      if (v < 1 || v > 19 || seen[v]) ok = false;
      else seen[v] = true;
    }
    // Entries 20-29 are not used here and stay as they were read.
    if (!ok) {
      Note(replaced, "diary column order");
      std::copy(std::begin(d.Diary), std::begin(d.Diary) + 20, DiaryColumnOrder);
    }
  }
  for (int k = 0; k < kCalendarShowCount; ++k) {
    CalendarShow& s = CalendarShows[k];
    bool ok = s.Values[0] >= 0 && s.Values[0] <= 3;
    for (int i = 1; ok && i <= 5; ++i) ok = s.Values[i] >= 0 && s.Values[i] <= 19;
    if (!ok) {
      Note(replaced, Format("calendar configuration %i", k + 1));
      std::copy(d.Calendar[k].Values, d.Calendar[k].Values + 6, s.Values);  // words 6-9 stay
    }
  }
  for (int i = 0; i < kGraf6SettingsSize; ++i) {
    int v = Graf6Settings[i];
    bool ok = i <= 5    ? (v >= 0 && v <= 10)  // 10 (temperature) from the chart combos
              : i == 6  ? (v >= 1 && v <= 8)
              : i <= 12 ? (v == 0 || v == 1)
                        : true;
    if (!ok) {
      Note(replaced, Format("overview setting %i", i));
      Graf6Settings[i] = d.Graf6[i];
    }
  }
  for (int i = 0; i < kScaleWords; ++i) {
    // Word 9 (Graf6Scale) takes any finite speed; the overview lets the user
    // type one above 200.
    const bool ok = i == 9 ? std::isfinite(ScaleMin[i]) && ScaleMin[i] >= 0.0f
                           : InRange(ScaleMin[i], -100000.0f, 100000.0f);
    if (!ok) {
      Note(replaced, Format("scale minimum %i", i));
      ScaleMin[i] = 0.0f;
    }
    float clamped = ClampScaleMax(i, ScaleMax[i]);
    if (clamped != ScaleMax[i]) {
      Note(replaced, Format("scale maximum %i", i));
      ScaleMax[i] = clamped;
    }
  }
}

std::string EncodeSettings() {
  std::string out(kSettingsFileBytes, '\0');
  unsigned char* p = reinterpret_cast<unsigned char*>(out.data());
  le::PutI32(p + kOffVersion, kSettingsVersion);
  le::PutI32(p + kOffRider, CurrentRider);
  std::memcpy(p + kOffRiderName, CurrentRiderName.data(),
              std::min(CurrentRiderName.size(), kRiderNameBytes - 1));
  for (int r = 0; r < kRiderCount; ++r)
    RiderTable[r].Store(p + kOffRiderTable + static_cast<std::size_t>(r) * RiderRecord::kBytes);
  unsigned char* z = p + kOffZones;
  for (int r = 0; r < kRiderCount; ++r)
    for (int row = 0; row < kZoneRows; ++row)
      for (int k = 0; k < kZoneRowValues; ++k, z += 2) le::PutU16(z, RiderZones[r][row][k]);
  std::memcpy(p + kOffZoneNames, ZoneNames, sizeof ZoneNames);
  for (int i = 0; i < kZoneNameCount; ++i) le::PutU32(p + kOffZoneColors + 4 * i, ZoneColors[i]);
  for (int i = 0; i < kChartColorCount; ++i) le::PutU32(p + kOffChartColors + 4 * i, ChartColors[i]);
  le::PutI32(p + kOffUnitFlags, UnitFlags);
  for (int i = 0; i < 10; ++i) le::PutI32(p + kOffSmooth + 4 * i, SmoothLevel[i]);
  p[kOffLanguage] = LanguageIndex;
  p[kOffCompact] = CompactLayout ? 1 : 0;
  le::PutF32(p + kOffClimb, ClimbGradeThreshold);
  for (int i = 0; i < kDiaryColumnOrderSize; ++i) le::PutI32(p + kOffDiary + 4 * i, DiaryColumnOrder[i]);
  for (int k = 0; k < kCalendarShowCount; ++k)
    for (int i = 0; i < 10; ++i)
      le::PutI32(p + kOffCalendar + 40 * k + 4 * i, CalendarShows[k].Values[i]);
  for (int i = 0; i < kGraf6SettingsSize; ++i) le::PutI32(p + kOffGraf6 + 4 * i, Graf6Settings[i]);
  for (int i = 0; i < kScaleWords; ++i) le::PutF32(p + kOffScaleMin + 4 * i, ScaleMin[i]);
  for (int i = 0; i < kScaleWords; ++i) le::PutF32(p + kOffScaleMax + 4 * i, ScaleMax[i]);
  le::PutI32(p + kOffEnd, kSettingsVersion);
  return out;
}

bool DecodeSettings(std::string_view bytes, std::vector<std::string>* replaced) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  // Every field lies at a fixed place: each one that lies whole in the file
  // is read (and checked below), the others keep their defaults, so a bit
  // flipped in the version word or a file cut short costs no rider.
  auto whole = [&](std::size_t offset, std::size_t n) { return offset + n <= size; };
  ResetSettingsToDefaults();
  bool intact = true;
  if (!whole(kOffVersion, 4) || le::GetI32(p + kOffVersion) != kSettingsVersion) {
    intact = false;
    Note(replaced, "the version word");
  }
  if (size != kSettingsFileBytes) {
    intact = false;
    Note(replaced, Format("the file length (%zu bytes, %zu expected)", size, kSettingsFileBytes));
  } else if (le::GetI32(p + kOffEnd) != kSettingsVersion) {
    intact = false;
    Note(replaced, "the end mark");
  }
  if (whole(kOffRider, 4)) {
    const int32_t rider = le::GetI32(p + kOffRider);
    CurrentRider = static_cast<int8_t>(rider >= 0 && rider < kRiderCount ? rider : -1);
  }
  if (whole(kOffRiderName, kRiderNameBytes)) {
    const char* n = reinterpret_cast<const char*>(p + kOffRiderName);
    std::size_t len = 0;
    while (len < kRiderNameBytes && n[len] != '\0') ++len;
    CurrentRiderName.assign(n, len == kRiderNameBytes ? 0 : len);
  }
  for (int r = 0; r < kRiderCount; ++r) {
    const std::size_t off = kOffRiderTable + static_cast<std::size_t>(r) * RiderRecord::kBytes;
    if (whole(off, RiderRecord::kBytes)) RiderTable[r] = RiderRecord::Load(p + off);
  }
  for (int r = 0; r < kRiderCount; ++r)
    for (int row = 0; row < kZoneRows; ++row) {
      const std::size_t off = kOffZones + 2 * static_cast<std::size_t>((r * kZoneRows + row) * kZoneRowValues);
      if (!whole(off, 2 * kZoneRowValues)) continue;
      for (int k = 0; k < kZoneRowValues; ++k) RiderZones[r][row][k] = le::GetU16(p + off + 2 * k);
    }
  for (int i = 0; i < kZoneNameCount; ++i)
    if (whole(kOffZoneNames + kZoneNameChars * i, kZoneNameChars))
      std::memcpy(ZoneNames[i], p + kOffZoneNames + kZoneNameChars * i, kZoneNameChars);
  for (int i = 0; i < kZoneNameCount; ++i)
    if (whole(kOffZoneColors + 4 * i, 4)) ZoneColors[i] = le::GetU32(p + kOffZoneColors + 4 * i);
  for (int i = 0; i < kChartColorCount; ++i)
    if (whole(kOffChartColors + 4 * i, 4)) ChartColors[i] = le::GetU32(p + kOffChartColors + 4 * i);
  if (whole(kOffUnitFlags, 4)) UnitFlags = le::GetI32(p + kOffUnitFlags);
  for (int i = 0; i < 10; ++i)
    if (whole(kOffSmooth + 4 * i, 4)) SmoothLevel[i] = le::GetI32(p + kOffSmooth + 4 * i);
  if (whole(kOffLanguage, 1)) LanguageIndex = p[kOffLanguage];
  if (whole(kOffCompact, 1)) {
    if (p[kOffCompact] > 1) Note(replaced, "compact layout");
    CompactLayout = p[kOffCompact] == 1;
  }
  if (whole(kOffClimb, 4)) ClimbGradeThreshold = le::GetF32(p + kOffClimb);
  for (int i = 0; i < kDiaryColumnOrderSize; ++i)
    if (whole(kOffDiary + 4 * i, 4)) DiaryColumnOrder[i] = le::GetI32(p + kOffDiary + 4 * i);
  for (int k = 0; k < kCalendarShowCount; ++k)
    for (int i = 0; i < 10; ++i)
      if (whole(kOffCalendar + 40 * k + 4 * i, 4))
        CalendarShows[k].Values[i] = le::GetI32(p + kOffCalendar + 40 * k + 4 * i);
  for (int i = 0; i < kGraf6SettingsSize; ++i)
    if (whole(kOffGraf6 + 4 * i, 4)) Graf6Settings[i] = le::GetI32(p + kOffGraf6 + 4 * i);
  for (int i = 0; i < kScaleWords; ++i)
    if (whole(kOffScaleMin + 4 * i, 4)) ScaleMin[i] = le::GetF32(p + kOffScaleMin + 4 * i);
  for (int i = 0; i < kScaleWords; ++i)
    if (whole(kOffScaleMax + 4 * i, 4)) ScaleMax[i] = le::GetF32(p + kOffScaleMax + 4 * i);
  ValidateSettings(replaced);
  return intact;
}

bool LoadSettings(std::string* message) {
  std::string bytes;
  std::filesystem::path path = FsPath(SettingsPath);
  std::error_code ec;
  bool ok = true;
  if (std::filesystem::exists(path, ec)) {
    std::vector<std::string> replaced;
    if (!ReadRegularFile(path, bytes)) {
      ok = false;
      if (message) *message = "Cannot read the settings file " + SettingsPath + "; defaults are used.";
    } else {
      ok = DecodeSettings(bytes, &replaced);
      if (!replaced.empty()) {
        // The settings are written back at start: the file as it was read
        // is kept first.
        const std::filesystem::path bad = KeepBadCopy(path, bytes);
        std::string text = "The settings file " + SettingsPath +
                           " was damaged; what could be read was taken, defaults replace: ";
        for (std::size_t i = 0; i < replaced.size(); ++i) text += (i ? ", " : "") + replaced[i];
        text += ".";
        if (!bad.empty()) text += " The damaged file was kept as " + PathText(bad) + ".";
        else text += " No .BAD copy of it could be kept, so it will not be written over.";
        if (message) *message = text;
      }
    }
  }
  SetUnitFactors();
  CountRiderZones();
  DeriveRiderPaths();
  return ok;
}

namespace {
bool SaveSettingsImage(const std::string& image, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(FsPath(SettingsDir), ec);
  if (!MayReplace(FsPath(SettingsPath))) {
    if (error) *error = RefusedOverwriteMessage(FsPath(SettingsPath));
    return false;
  }
  int err = 0;
  if (!WriteFileAtomically(FsPath(SettingsPath), image, false, &err)) {
    if (error) *error = CannotWriteMessage(FsPath(SettingsPath), err);
    return false;
  }
  return true;
}
}  // namespace

bool SaveSettings(std::string* error) { return SaveSettingsImage(EncodeSettings(), error); }

bool SaveSettingsOnActivation(std::string* tell) {
  SettingsSaveFailure& f = SettingsSaveFailed;
  std::string image = EncodeSettings();
  if (f.failing && image == f.image) return false;  // nothing changed since it failed
  std::string error;
  if (SaveSettingsImage(image, &error)) {
    f = SettingsSaveFailure{};
    return true;
  }
  f.failing = true;
  f.image = std::move(image);
  if (!f.told && tell) *tell = error;
  f.told = true;
  return false;
}

bool SetupRiderPaths(std::string* error) {
  MailSetPath = JoinPath(SettingsDir, "MAIL_SET.GRD");
  MailMemoPath = JoinPath(SettingsDir, "MAIL_MSG_MEMO.GRD");
  std::error_code ec;
  std::filesystem::create_directories(FsPath(SettingsDir), ec);
  if (ec) {
    if (error) *error = "Cannot create the folder " + SettingsDir + ".";
    return false;
  }
  return true;
}

std::vector<std::string> ListRiderFolders() {
  std::vector<std::string> out;
  std::error_code ec;
  std::filesystem::directory_iterator it(FsPath(DataDir), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_directory(e2)) continue;
    std::string name = PathText(it->path().filename());
    if (name == "GRD_DATA" || name == "COLLECTION" || !IsValidRiderName(name)) continue;
    out.push_back(name);
  }
  std::sort(out.begin(), out.end());
  return out;
}

int RiderEntryFor(std::string_view name) {
  for (int r = 0; r < kRiderCount; ++r)
    if (RiderTable[r].NameText() == name) return r;
  for (int r = 0; r < kRiderCount; ++r)
    if (IsPlaceholderRiderName(RiderTable[r].NameText())) return r;
  return -1;
}

bool OpenRider(std::string_view name, std::string* message) {
  if (!IsValidRiderName(name)) {
    if (message) *message = "The rider name is not valid.";
    return false;
  }
  CurrentRiderName = std::string(name);
  const int index = RiderEntryFor(CurrentRiderName);
  // A free entry takes the rider's name.
  if (index >= 0 && RiderTable[index].NameText() != CurrentRiderName &&
      !IsPlaceholderRiderName(CurrentRiderName))
    RiderTable[index].SetName(CurrentRiderName);
  if (index >= 0) CurrentRider = static_cast<int8_t>(index);
  DeriveRiderPaths();
  std::string err;
  SetupRiderPaths(&err);
  if (!IsPlaceholderRiderName(CurrentRiderName)) {
    std::error_code ec;
    std::filesystem::create_directories(FsPath(RiderDir), ec);
  }
  std::string text;
  std::string listMsg, dbMsg;
  const bool listRead = LoadTripList(TripList, &listMsg);
  const bool databaseRead = LoadTripDatabase(&dbMsg);
  // A list read damaged is kept as a .BAD copy and saved as read, so the
  // damage is met once.
  TripListChanged = listRead && !listMsg.empty();
  std::string joinMsg, entryMsg, slotMsg;
  if (listRead) {
    // What a crash left: a join or a manual entry half stored is finished,
    // an entry whose slot does not hold it is said, temporary files go.
    // Entries and slots are judged only against a database read whole: the
    // tables of one that could not be read (or only in part) say nothing of
    // them, and marking would write those tables over the file.
    if (databaseRead) FinishPendingEntry(TripList, &entryMsg);
    FinishPendingJoin(TripList, &joinMsg);
    if (databaseRead) MarkForeignManualSlots(TripList, &slotMsg);
    RemoveLeftTemporaryFilesOfRider();
  }
  for (const std::string* m : {&err, &listMsg, &dbMsg, &joinMsg, &entryMsg, &slotMsg})
    if (!m->empty()) text += (text.empty() ? "" : " ") + *m;
  if (message) *message = text;
  BuildTripDateIndex(TripList);
  CountRiderZones();
  SetUnitFactors();
  return true;
}

bool ApplyLangMarker(const std::filesystem::path& folder) {
  std::filesystem::path path = folder / kLangMarkerFile;
  std::string text;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || !ReadWholeFile(path, text)) return false;
  std::string_view t = text;
  if (t.starts_with("EN_")) {
    LanguageIndex = 1;
    UnitFlags = kUnitMiles | kUnitFahrenheit | kUnitPounds | kUnit12Hour | kUnitUsDate;
  } else if (t.starts_with("DE_")) {
    LanguageIndex = 0;
    UnitFlags = 0;
  } else if (t.starts_with("ES_")) {
    LanguageIndex = 2;
    UnitFlags = 0;
  } else {
    return false;
  }
  SetUnitFactors();
  std::filesystem::remove(path, ec);
  return true;
}

void StartCore(std::string_view programDir, std::vector<std::string>* messages) {
  auto add = [&](const std::string& m) {
    if (messages && !m.empty()) messages->push_back(m);
  };
  DerivePaths(programDir);
  std::error_code ec;
  std::filesystem::create_directories(FsPath(SettingsDir), ec);
  std::string msg;
  LoadSettings(&msg);
  add(msg);
  ApplyLangMarker(FsPath(ProgramDir));
  msg.clear();
  OpenRider(CurrentRiderName, &msg);
  add(msg);
}

}  // namespace tav
