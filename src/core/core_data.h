// Process-wide data of the core: the trip buffers and the current trip, the
// per-trip tables, the trip lists, rider, zone, colour and unit settings,
// smoothing, and the program's paths. Everything lives for the whole run and
// is used from the GUI thread; code on other threads works on buffers of its
// own (see trip_file.h, statistics.h, smoothing.h).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_paths.h"  // FsPath, PathText, JoinPath, ReadRegularFile
#include "core/trip_types.h"
#include "platform/controls.h"  // TColor
#include "platform/strings.h"   // TStringList

namespace tav {

// ---------------------------------------------------------------------------
// Trip buffers and the current trip
// ---------------------------------------------------------------------------

// The current trip (record 0 is the header) and the comparison trip. Each
// buffer has kTripBufferRecords entries; a trip uses at most
// kMaxTripRecords - 1 of them, counts include the header.
// The current trip lies in one of two buffers: a trip file is read into the
// other one (SpareTripBuffer) and takes its place (SwapTripBuffers) only once
// it read whole, so a damaged file never leaves the current trip half
// overwritten, and the records are read only once.
extern TripSample* TripSamples;
TripSample* SpareTripBuffer();
void SwapTripBuffers();
extern TripSample TripSamples2[kTripBufferRecords];
extern int32_t TripSampleCount;
extern int32_t TripSampleCount2;
// Seconds between records: time of record 3 - time of record 2 of the trip
// last read.
extern int32_t SampleInterval;

// Zone block of the current trip: [0] mark 5555.0, [1..6] absolute upper
// bounds of zones 1..6 in the unit of the trip's kind, the rest 0.
extern float TripZoneBlock[kZoneBlockWords];
// Display scale maxima: kept in the settings file, replaced (clamped) by
// each trip read. Index: kScale... below.
extern float ScaleMax[kScaleWords];
// Display scale minima (settings file); word 9 is Graf6Scale.
extern float ScaleMin[kScaleWords];
// Reference speed [km/h] of the six-chart overview: word 9 of ScaleMin.
extern float& Graf6Scale;
enum ScaleIndex : int {
  kScalePower = 0, kScaleCadence = 1, kScaleSpeed = 2, kScaleHeartRate = 3, kScaleAltitude = 4,
  kScaleTemperature = 5, kScaleTorque = 6, kScaleGrade = 7, kScaleClimbRate = 8, kScaleSpare = 9
};
// Clamping ranges of the scale maxima (a value outside takes the default).
float ScaleMaxDefault(int index);
float ClampScaleMax(int index, float value);

extern std::string TripNote;        // note text of the trip file (at most 329 bytes stored)
extern bool TripNotePresent;        // WriteDeoFile writes the note and sets header flag 0x20
extern uint8_t TripTrailer[kDeoTrailerBytes];  // kept as read, written back

extern int32_t CurrentTripSlot;     // statistics slot of the trip being filed / evaluated
extern int32_t TripCounter;         // highest slot in use
extern int8_t CurrentSport;         // set by the trip reader when it rebuilds the zone block
extern std::string CurrentTripPath; // full path of the trip file last loaded
extern bool WholeTripEvaluation;    // EvaluateSection: whole trip when first <= 0
extern bool ResaveTripsFlag;        // LoadTripByListIndex writes each loaded trip back

// ---------------------------------------------------------------------------
// Per-trip tables (trip database) and their display copies
// ---------------------------------------------------------------------------
extern TripSummary TripSummaryTable[kTripSlots];
extern TripZoneTimes TripZoneTable[kTripSlots];
extern TripDistribution TripDistributionTable[kTripSlots];
// Copy of one distribution record from its total time on (one trip or a sum).
extern DistributionData DistributionView;

// 13 formatted statistics lines of the last EvaluateSection.
inline constexpr int kSummaryLineCount = 13;
extern std::array<std::string, kSummaryLineCount> SummaryLines;
// Six means of the last EvaluateSection: power [W], speed [km/h],
// cadence [1/min], grade [%], air temperature [degC], altitude [m]. The
// evaluation window publishes them as TForm4::SectionMeans.
enum SectionMeanIndex : int {
  kMeanPower = 0, kMeanSpeed = 1, kMeanCadence = 2, kMeanGrade = 3, kMeanTemperature = 4,
  kMeanAltitude = 5
};
extern float SectionMeans[6];

// Short labels of the current language (slots 0-8), the caption format of
// the multi-trip windows (slot 10, two "%s"); slots 9 and 11 stay empty. Each
// slot holds at most kLangLabelChars bytes; SetLangLabel cuts longer texts.
inline constexpr int kLangLabelSlots = 12;
inline constexpr std::size_t kLangLabelChars = 39;
extern std::array<std::string, kLangLabelSlots> LangLabels;
void SetLangLabel(int slot, std::string_view text);

// Best mean power per whole-second duration for block 1 (worker) and
// block 2 (power-duration block view); 0 = no value.
inline constexpr int kBestPowerEntries = 200000;
extern float BestPowerCurve[kBestPowerEntries];
extern float BestPowerBlock2[kBestPowerEntries];

// ---------------------------------------------------------------------------
// Trip lists (published by the main window as members of the same names)
// ---------------------------------------------------------------------------

// The rider's trip list lines, oldest first; the last line is the free-slot
// line "ERASED :". TForm1::TripList refers to this list.
extern TStringList TripList;
// Lines picked in the diary or the evaluation (TForm1::SelectedTrips).
extern TStringList SelectedTrips;
// The list the analyses walk (TForm1::ScanList); never null.
extern TStringList* ScanList;
// The diary's power-duration mode (TForm3::ScanMode): the block protocol's
// state, read and ended by the power-duration window.
extern int ScanMode;
// "TRIP " + date/time + "   " + comment of the row the diary opened
// (TForm3::ViewCaption): the caption of the views of that trip.
extern std::string ViewCaption;
// Set by list edits, cleared when the list is saved (TForm1::TripListChanged).
extern bool TripListChanged;
// Set by every change of the per-trip tables (and by reading a damaged trip
// database), cleared when the database is saved; closing saves it when set.
extern bool TripDatabaseChanged;

// One entry per trip-list line, in list order (BuildTripDateIndex).
extern std::vector<TripDateEntry> TripDates;
extern int32_t TripFirstDate;  // date value of the first and the last dated line; 0 = none
extern int32_t TripLastDate;

// ---------------------------------------------------------------------------
// Smoothing
// ---------------------------------------------------------------------------
// SmoothLevel index per channel.
enum SmoothLevelIndex : int {
  kLevelAltitude = 0, kLevelPower = 1, kLevelCadence = 2, kLevelSpeed = 3, kLevelHeartRate = 4
};
extern int32_t SmoothLevel[10];              // 0..9 per channel
extern const int32_t SmoothHalfWidth[10];    // 0, 1, 2, 4, 7, 10, 15, 30, 60, 120
// Columns of a smoothed record.
enum SmoothColumn : int {
  kSmoothPower = 0, kSmoothCadence = 1, kSmoothSpeed = 2, kSmoothHeartRate = 3,
  kSmoothAltitude = 4, kSmoothTemperature = 5
};
using SmoothSample = std::array<float, 6>;
extern SmoothSample TripSmooth[kTripBufferRecords];   // per record of TripSamples
extern SmoothSample TripSmooth2[kTripBufferRecords];  // per record of TripSamples2

// ---------------------------------------------------------------------------
// Riders, zones, colours, units and options (settings file)
// ---------------------------------------------------------------------------
inline constexpr int kRiderCount = 10;
inline constexpr int kZoneRows = 3;       // 0 power, 1 bike heart rate, 2 run
inline constexpr int kZoneRowValues = 10; // [0] threshold, [1..6] bounds in %, rest 0
enum ZoneRow : int { kZoneRowPower = 0, kZoneRowBikeHeartRate = 1, kZoneRowRun = 2 };

extern int8_t CurrentRider;                 // 0..9, index into RiderTable
extern std::string CurrentRiderName;        // name of the rider's folder under DATA
extern RiderRecord RiderTable[kRiderCount];
extern std::string RiderDir;                // DATA/<rider>: trip files, list, database
extern uint16_t RiderZones[kRiderCount][kZoneRows][kZoneRowValues];
// Threshold of a row of the current rider as a trip's fallback: the row's
// value, else 100.
float RiderThresholdOrDefault(int row);

inline constexpr int kZoneNameCount = 15;
inline constexpr int kZoneNameChars = 6;    // 5 characters plus terminator
extern int32_t ZoneCount;                   // 1 + non-zero power bounds (CountRiderZones)
extern char ZoneNames[kZoneNameCount][kZoneNameChars];  // [0] "NULL"
extern TColor ZoneColors[kZoneNameCount];
// Chart colours: 0 background, 1 power, 2 cadence, 3 heart rate, 4 speed,
// 5 altitude, 6 gear, 7 temperature, 8 grid, 9 texts/axes/frames,
// 10 interval, 11 calendar sport icons, 12 grade, 13, 14, 15 climb rate.
inline constexpr int kChartColorCount = 16;
extern TColor ChartColors[kChartColorCount];

// Unit option bits.
inline constexpr int32_t kUnitMiles = 1, kUnitFahrenheit = 2, kUnitPounds = 4,
                         kUnit12Hour = 8, kUnitUsDate = 16;
extern int32_t UnitFlags;
extern double SpeedFactor;     // 1.0 or 0.62137
extern double AltitudeFactor;  // 1.0 or 3.28084
extern double WeightFactor;    // 1.0 or 2.2046226
inline constexpr double kMilesPerKm = 0.62137;
inline constexpr double kFeetPerMetre = 3.28084;
inline constexpr double kPoundsPerKg = 2.2046226;
// Sets SpeedFactor, AltitudeFactor and WeightFactor from UnitFlags.
void SetUnitFactors();

extern bool CompactLayout;          // low screen
extern float ClimbGradeThreshold;   // grade [%] from which a record counts as climbing
extern uint8_t LanguageIndex;       // 0 German, 2 Spanish, other English

// Settings blocks kept for the diary, calendar and six-chart overview.
inline constexpr int kDiaryColumnOrderSize = 30;
inline constexpr int32_t kDiaryColumnMarker = 55;
extern int32_t DiaryColumnOrder[kDiaryColumnOrderSize];  // [0] 55, [1..19] permutation of 1..19
struct CalendarShow {
  int32_t Values[10] = {};  // [0] lines per cell 0-3, [1..5] items 0-19, rest unused
  bool operator==(const CalendarShow&) const = default;
};
inline constexpr int kCalendarShowCount = 3;
extern CalendarShow CalendarShows[kCalendarShowCount];
inline constexpr int kGraf6SettingsSize = 14;
extern int32_t Graf6Settings[kGraf6SettingsSize];

// ---------------------------------------------------------------------------
// Paths (Windows-1252 texts; FsPath in file_paths.h turns one into a
// file-system path)
// ---------------------------------------------------------------------------
extern std::string ProgramDir;        // folder of the executable (current directory)
extern std::string DataDir;           // ProgramDir/DATA
extern std::string SettingsDir;       // DATA/GRD_DATA
extern std::string SettingsPath;      // DATA/GRD_DATA/GRD_DATA_01.GRD
extern std::string HelpPathPrefix;    // DATA/GRD_DATA/HILFE/HILFE_ (+ "DE"/"EN" + "%02i.RTF")
extern std::string CollectionDir;     // DATA/COLLECTION
extern std::string CollectionListPath;// DATA/COLLECTION/COLLECTION.T_L
extern std::string PowerCalcPath;     // DATA/GRD_DATA/POW_CALC.GRD
extern std::string GarminNoBlanksPath;// DATA/GARMIN_NO_BLANKS.DAT
extern std::string MailSetPath;       // DATA/GRD_DATA/MAIL_SET.GRD
extern std::string MailMemoPath;      // DATA/GRD_DATA/MAIL_MSG_MEMO.GRD
extern std::string TripListPath;      // RiderDir/<rider>.T_L
extern std::string TripDatabasePath;  // RiderDir/<rider>.T_D
extern std::string CommandLineTrip;   // trip file named on the command line ("" = none)

// The last save of the settings on an activation of the main window, when it
// failed (SaveSettingsOnActivation): it is said once and not tried again
// before the settings change.
struct SettingsSaveFailure {
  bool failing = false;  // the last save failed
  bool told = false;     // and that was said
  std::string image;     // the settings it failed to write
};
extern SettingsSaveFailure SettingsSaveFailed;

// File names of the program folder.
inline constexpr const char* kLangMarkerFile = "LANG.TXT";

// Derives every path above from the program folder (and the current rider's
// name for RiderDir, TripListPath, TripDatabasePath). Creates nothing.
void DerivePaths(std::string_view programDir);
void DeriveRiderPaths();

// Restores every value of this header to its start-of-run default (buffers
// and tables cleared, settings at their defaults). For tests and first starts.
void ResetCoreData();
// Settings defaults only (riders, zones, colours, units, options, blocks).
void ResetSettingsToDefaults();

}  // namespace tav
