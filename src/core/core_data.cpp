#include "core/core_data.h"
#include "core/bad_copy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/strings.h"
#include "platform/text.h"

namespace tav {

namespace {
TripSample g_trip_buffers[2][kTripBufferRecords];
}  // namespace

TripSample* TripSamples = g_trip_buffers[0];
TripSample* SpareTripBuffer() { return TripSamples == g_trip_buffers[0] ? g_trip_buffers[1] : g_trip_buffers[0]; }
void SwapTripBuffers() { TripSamples = SpareTripBuffer(); }
TripSample TripSamples2[kTripBufferRecords];
int32_t TripSampleCount = 0;
int32_t TripSampleCount2 = 0;
int32_t SampleInterval = 1;

float TripZoneBlock[kZoneBlockWords] = {};
float ScaleMax[kScaleWords] = {};
float ScaleMin[kScaleWords] = {};
float& Graf6Scale = ScaleMin[9];

std::string TripNote;
bool TripNotePresent = false;
uint8_t TripTrailer[kDeoTrailerBytes] = {};

int32_t CurrentTripSlot = 0;
int32_t TripCounter = 0;
int8_t CurrentSport = 0;
std::string CurrentTripPath;
bool WholeTripEvaluation = true;
bool ResaveTripsFlag = false;

TripSummary TripSummaryTable[kTripSlots];
TripZoneTimes TripZoneTable[kTripSlots];
TripDistribution TripDistributionTable[kTripSlots];
DistributionData DistributionView;

std::array<std::string, kSummaryLineCount> SummaryLines;
float SectionMeans[6] = {};
std::array<std::string, kLangLabelSlots> LangLabels;

float BestPowerCurve[kBestPowerEntries];
float BestPowerBlock2[kBestPowerEntries];

TStringList TripList;
TStringList SelectedTrips;
TStringList* ScanList = &SelectedTrips;
int ScanMode = 0;
std::string ViewCaption;
bool TripListChanged = false;
bool TripDatabaseChanged = false;

std::vector<TripDateEntry> TripDates;
int32_t TripFirstDate = 0;
int32_t TripLastDate = 0;

int32_t SmoothLevel[10] = {};
const int32_t SmoothHalfWidth[10] = {0, 1, 2, 4, 7, 10, 15, 30, 60, 120};
SmoothSample TripSmooth[kTripBufferRecords];
SmoothSample TripSmooth2[kTripBufferRecords];

int8_t CurrentRider = 0;
std::string CurrentRiderName;
RiderRecord RiderTable[kRiderCount];
std::string RiderDir;
uint16_t RiderZones[kRiderCount][kZoneRows][kZoneRowValues] = {};

int32_t ZoneCount = 1;
char ZoneNames[kZoneNameCount][kZoneNameChars] = {};
TColor ZoneColors[kZoneNameCount] = {};
TColor ChartColors[kChartColorCount] = {};

int32_t UnitFlags = 0;
double SpeedFactor = 1.0;
double AltitudeFactor = 1.0;
double WeightFactor = 1.0;

bool CompactLayout = false;
float ClimbGradeThreshold = 2.0f;
uint8_t LanguageIndex = 1;

int32_t DiaryColumnOrder[kDiaryColumnOrderSize] = {};
CalendarShow CalendarShows[kCalendarShowCount];
int32_t Graf6Settings[kGraf6SettingsSize] = {};

std::string ProgramDir;
std::string DataDir;
std::string SettingsDir;
std::string SettingsPath;
std::string HelpPathPrefix;
SettingsSaveFailure SettingsSaveFailed;
std::string CollectionDir;
std::string CollectionListPath;
std::string PowerCalcPath;
std::string GarminNoBlanksPath;
std::string MailSetPath;
std::string MailMemoPath;
std::string TripListPath;
std::string TripDatabasePath;
std::string CommandLineTrip;

// ---------------------------------------------------------------------------

namespace {
struct ScaleRange {
  float def, lo, hi;
};
// Defaults and plausible ranges of the display scale maxima.
constexpr ScaleRange kScaleRanges[kScaleWords] = {
    {1000.0f, 10.0f, 5000.0f},   // power [W]
    {150.0f, 10.0f, 300.0f},     // cadence [1/min]
    {80.0f, 5.0f, 200.0f},       // speed [km/h]
    {200.0f, 30.0f, 300.0f},     // heart rate [1/min]
    {3000.0f, 10.0f, 9000.0f},   // altitude [m]
    {40.0f, 5.0f, 80.0f},        // temperature [degC]
    {200.0f, 5.0f, 1000.0f},     // torque [Nm]
    {20.0f, 1.0f, 100.0f},       // grade [%]
    {2000.0f, 10.0f, 10000.0f},  // climb rate [m/h]
    {100.0f, 0.0f, 100000.0f},   // spare
};
}  // namespace

float ScaleMaxDefault(int index) {
  if (index < 0 || index >= kScaleWords) return 0.0f;
  return kScaleRanges[index].def;
}

float ClampScaleMax(int index, float value) {
  if (index < 0 || index >= kScaleWords) return 0.0f;
  const ScaleRange& r = kScaleRanges[index];
  if (!std::isfinite(value)) return r.def;
  return std::clamp(value, r.lo, r.hi);
}

void SetLangLabel(int slot, std::string_view text) {
  if (slot < 0 || slot >= kLangLabelSlots) return;
  LangLabels[static_cast<std::size_t>(slot)] = std::string(text.substr(0, kLangLabelChars));
}

float RiderThresholdOrDefault(int row) {
  if (row < 0 || row >= kZoneRows) row = 0;
  int rider = std::clamp<int>(CurrentRider, 0, kRiderCount - 1);
  uint16_t v = RiderZones[rider][row][0];
  return v != 0 ? static_cast<float>(v) : 100.0f;
}

void SetUnitFactors() {
  SpeedFactor = (UnitFlags & kUnitMiles) ? kMilesPerKm : 1.0;
  AltitudeFactor = (UnitFlags & kUnitMiles) ? kFeetPerMetre : 1.0;
  WeightFactor = (UnitFlags & kUnitPounds) ? kPoundsPerKg : 1.0;
}

void DerivePaths(std::string_view programDir) {
  ProgramDir = std::string(programDir);
  DataDir = JoinPath(ProgramDir, "DATA");
  SettingsDir = JoinPath(DataDir, "GRD_DATA");
  SettingsPath = JoinPath(SettingsDir, "GRD_DATA_01.GRD");
  HelpPathPrefix = JoinPath(JoinPath(SettingsDir, "HILFE"), "HILFE_");
  CollectionDir = JoinPath(DataDir, "COLLECTION");
  CollectionListPath = JoinPath(CollectionDir, "COLLECTION.T_L");
  PowerCalcPath = JoinPath(SettingsDir, "POW_CALC.GRD");
  GarminNoBlanksPath = JoinPath(DataDir, "GARMIN_NO_BLANKS.DAT");
  MailSetPath = JoinPath(SettingsDir, "MAIL_SET.GRD");
  MailMemoPath = JoinPath(SettingsDir, "MAIL_MSG_MEMO.GRD");
  DeriveRiderPaths();
}

void DeriveRiderPaths() {
  RiderDir = JoinPath(DataDir, CurrentRiderName);
  TripListPath = JoinPath(RiderDir, CurrentRiderName + ".T_L");
  TripDatabasePath = JoinPath(RiderDir, CurrentRiderName + ".T_D");
}

void ResetSettingsToDefaults() {
  for (int r = 0; r < kRiderCount; ++r) {
    RiderRecord rec;
    char name[16];
    std::snprintf(name, sizeof name, "RIDER_%02i", r + 1);  // also runs during static start-up
    rec.SetName(name);
    rec.Weight = 75.0f;
    rec.Height = 180.0f;
    for (auto& bike : rec.Bike) {
      bike[0] = 2105.0f;  // wheel circumference [mm]
      bike[1] = 9.0f;     // bike mass [kg]
      bike[2] = 4.0f;     // rolling resistance x 1000
    }
    RiderTable[r] = rec;
    static constexpr uint16_t kPower[7] = {250, 55, 75, 90, 105, 120, 150};
    static constexpr uint16_t kBikeHr[7] = {170, 68, 83, 94, 100, 105, 110};
    static constexpr uint16_t kRunHr[7] = {175, 70, 80, 88, 95, 100, 106};
    for (int i = 0; i < kZoneRowValues; ++i) {
      RiderZones[r][kZoneRowPower][i] = i < 7 ? kPower[i] : 0;
      RiderZones[r][kZoneRowBikeHeartRate][i] = i < 7 ? kBikeHr[i] : 0;
      RiderZones[r][kZoneRowRun][i] = i < 7 ? kRunHr[i] : 0;
    }
  }
  CurrentRider = 0;
  CurrentRiderName = RiderTable[0].NameText();

  static constexpr const char* kNames[kZoneNameCount] = {
      "NULL", "REKOM", "GA1", "GA2", "EB", "SB", "K-SB", "ZONE7",
      "ZONE8", "ZONE9", "Z10", "Z11", "Z12", "Z13", "Z14"};
  for (int i = 0; i < kZoneNameCount; ++i) {
    std::memset(ZoneNames[i], 0, kZoneNameChars);
    std::strncpy(ZoneNames[i], kNames[i], kZoneNameChars - 1);
  }
  static constexpr TColor kZoneColors[kZoneNameCount] = {
      clSilver, 0xC08000, 0x00A000, 0x00C0C0, 0x0080FF, 0x0000FF, 0x800080, clMaroon,
      clNavy, clTeal, clOlive, clGray, clPurple, clGreen, clBlack};
  std::copy(std::begin(kZoneColors), std::end(kZoneColors), ZoneColors);
  static constexpr TColor kChart[kChartColorCount] = {
      clWhite,   // 0 background
      clRed,     // 1 power
      clBlue,    // 2 cadence
      0x0000A0,  // 3 heart rate
      clGreen,   // 4 speed
      0x406080,  // 5 altitude
      clPurple,  // 6 gear
      0x00A0FF,  // 7 temperature
      clSilver,  // 8 grid
      clBlack,   // 9 texts, axes, frames
      clYellow,  // 10 interval
      clNavy,    // 11 calendar sport icons
      clTeal,    // 12 grade
      clOlive,   // 13
      clGray,    // 14
      clFuchsia  // 15 climb rate
  };
  std::copy(std::begin(kChart), std::end(kChart), ChartColors);

  UnitFlags = 0;
  SetUnitFactors();
  for (int& v : SmoothLevel) v = 0;
  SmoothLevel[kLevelAltitude] = 4;
  SmoothLevel[kLevelPower] = 2;
  SmoothLevel[kLevelCadence] = 2;
  SmoothLevel[kLevelSpeed] = 2;
  SmoothLevel[kLevelHeartRate] = 2;
  LanguageIndex = 1;
  CompactLayout = false;
  ClimbGradeThreshold = 2.0f;

  DiaryColumnOrder[0] = kDiaryColumnMarker;
  for (int c = 1; c < kDiaryColumnOrderSize; ++c) DiaryColumnOrder[c] = c < 20 ? c : 0;
  for (int k = 0; k < kCalendarShowCount; ++k) {
    CalendarShow s;
    s.Values[0] = 2;  // four lines per cell
    s.Values[1] = 0;
    s.Values[2] = 1;
    s.Values[3] = 2;
    s.Values[4] = 9;  // heart rate: item 3 would repeat the cadence of item 2
    s.Values[5] = 4;
    CalendarShows[k] = s;
  }
  static constexpr int32_t kGraf6[kGraf6SettingsSize] = {0, 1, 2, 3, 4, 5, 3, 0, 0, 0, 0, 0, 0, 0};
  std::copy(std::begin(kGraf6), std::end(kGraf6), Graf6Settings);
  for (int i = 0; i < kScaleWords; ++i) {
    ScaleMax[i] = ScaleMaxDefault(i);
    ScaleMin[i] = 0.0f;
  }
  Graf6Scale = 0.0f;
}

void ResetCoreData() {
  ForgetUncopiedFiles();
  SettingsSaveFailed = SettingsSaveFailure{};
  for (auto& buffer : g_trip_buffers) std::fill(std::begin(buffer), std::end(buffer), TripSample{});
  TripSamples = g_trip_buffers[0];
  std::fill(std::begin(TripSamples2), std::end(TripSamples2), TripSample{});
  TripSampleCount = 0;
  TripSampleCount2 = 0;
  SampleInterval = 1;
  std::fill(std::begin(TripZoneBlock), std::end(TripZoneBlock), 0.0f);
  TripNote.clear();
  TripNotePresent = false;
  std::fill(std::begin(TripTrailer), std::end(TripTrailer), uint8_t{0});
  CurrentTripSlot = 0;
  TripCounter = 0;
  CurrentSport = 0;
  CurrentTripPath.clear();
  WholeTripEvaluation = true;
  ResaveTripsFlag = false;
  std::fill(std::begin(TripSummaryTable), std::end(TripSummaryTable), TripSummary{});
  std::fill(std::begin(TripZoneTable), std::end(TripZoneTable), TripZoneTimes{});
  std::fill(std::begin(TripDistributionTable), std::end(TripDistributionTable), TripDistribution{});
  DistributionView = DistributionData{};
  for (auto& s : SummaryLines) s.clear();
  std::fill(std::begin(SectionMeans), std::end(SectionMeans), 0.0f);
  std::fill(std::begin(BestPowerCurve), std::end(BestPowerCurve), 0.0f);
  std::fill(std::begin(BestPowerBlock2), std::end(BestPowerBlock2), 0.0f);
  TripList.Clear();
  TripList.SetSorted(false);
  SelectedTrips.Clear();
  SelectedTrips.SetSorted(false);
  ScanList = &SelectedTrips;
  ScanMode = 0;
  ViewCaption.clear();
  TripListChanged = false;
  TripDatabaseChanged = false;
  TripDates.clear();
  TripFirstDate = 0;
  TripLastDate = 0;
  std::fill(std::begin(TripSmooth), std::end(TripSmooth), SmoothSample{});
  std::fill(std::begin(TripSmooth2), std::end(TripSmooth2), SmoothSample{});
  ZoneCount = 1;
  ResetSettingsToDefaults();
}

namespace {
// Defaults in place before anything reads them.
struct InitDefaults {
  InitDefaults() {
    ResetSettingsToDefaults();
    for (int i = 0; i < kLangLabelSlots; ++i) LangLabels[static_cast<std::size_t>(i)].clear();
  }
};
const InitDefaults kInitDefaults;
}  // namespace

}  // namespace tav
