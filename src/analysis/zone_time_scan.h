// TForm56: the time-in-zones scan over the selected trips: stepped bars of
// the time each trip, all trips together, or each of two blocks of trips
// spent in the rider's training zones, with a measuring tool for shares of
// a bar.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/evaluation_model.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "platform/controls.h"
#include "platform/graphics.h"

namespace tav {

// Zone basis (the diary's kind choice): power, bike heart rate, run heart rate.
enum ZoneBasis : int { kBasisPower = 0, kBasisBikeHeartRate = 1, kBasisRunHeartRate = 2 };

// Classes of a record (kZoneClasses, ZoneBounds, ZoneClassOf): those of the
// core's zone times, so the scan names the same seconds as every other zone
// window; class 8 (above the top bound) is counted, never drawn.

// Zones drawn for a basis: 1 + the non-zero bounds among the six of the
// basis' row (power, bike heart rate or run).
int ZoneCountOfBasis(const RiderZoneRows& zones, int basis);

// Bounds a trip is classified with: its zone block (under a heart-rate
// basis a power trip gets bike heart-rate bounds from the rider's row and
// its header's heart-rate threshold), bound i = block[min(i, zoneCount - 1)],
// and no bound below the one before it (nor below 0): bounds past the
// trip's last one above 0 repeat it, so a value up to that bound always lands
// in a drawn zone. A zone count of 1 (the basis' row has no bound) leaves
// one open zone: bounds 1..7 are infinite, every value above 0 is zone 1.
// `drawn[j]`: zone j has a bound above 0 (zone 0 always). Pure.
struct TripZoneBounds {
  ZoneBounds bound{};
  std::array<bool, kZoneClasses> drawn{};
};
TripZoneBounds PrepareZoneBounds(const TripFileData& trip, int lineKind, int basis, int zoneCount,
                                 const RiderZoneRows& zones);


// What the scan takes from one trip.
struct TripZoneCount {
  bool counted = false;
  std::array<int64_t, kZoneClasses> seconds{};  // records of the class x interval
  int64_t total = 0;                             // counted records (1..N-1) x interval
  std::array<bool, kZoneClasses> drawn{};
};
// Whether a list line takes part under a basis: a trip line (at least 16
// characters, no manual entry), of kind 0 under the power basis.
bool ZoneLineAdmitted(std::string_view line, int basis);
// The seconds between a trip's records for the scan: 0 (the trip is not
// counted) when its records 2 and 3 carry the same or a falling time, else
// the interval every reader takes (RecordInterval), which counts such trips
// at 1 s.
int ZoneScanInterval(const TripFileData& trip);
// Counts records 1..N-1 of a trip (power under the power basis, else heart
// rate). A trip with an interval of 0 or less is not counted.
TripZoneCount CountTripZones(const TripFileData& trip, int interval, int lineKind, int basis,
                             int zoneCount, const RiderZoneRows& zones);

// A bar: seconds per class, the total the shares are taken of, the drawn zones.
struct ZoneBar {
  std::array<int64_t, kZoneClasses> seconds{};
  int64_t total = 0;
  std::array<bool, kZoneClasses> drawn{};
  int trips = 0;
  void Add(const TripZoneCount& trip);
};

enum class ZoneLayout { Few, Blocks, Sum, PerTrip };
ZoneLayout ChooseZoneLayout(int lineCount, int blockMode);
// The block mode of a list: 2 when it holds the line "BLOCK2" (block 1,
// the separator, block 2), else 0.
int ZoneBlockModeOf(const std::vector<std::string>& lines);

// "hh:mm:ss" (hours not limited to two digits).
std::string ZoneHms(int64_t seconds);
// The comment line of a trip: its comment (cut to 50 characters), two
// blanks and "(TT = hh:mm:ss)".
std::string ZoneCommentLine(std::string_view line, int64_t total);
// "%i  %s   ( %s = hh:mm:ss)": trip count, texts [0] and [1], total.
std::string ZoneCountLine(int trips, const std::array<std::string, 2>& texts, int64_t total);

// Geometry of the stepped bars.
struct ZoneBarStyle {
  int height = 28, step = 15;
  int label_above = 17;     // label y = top - label_above
  bool per_trip = false;    // left labels at top + 2 (else bottom-aligned)
};
inline constexpr ZoneBarStyle kPerTripBar{8, 12, 15, true};
inline constexpr ZoneBarStyle kLargeBar{28, 15, 17, false};

// A text on the picture (font size in points).
struct ZoneText {
  int x = 0, y = 0, size = 10;
  std::string text;
};
// A segment of a stepped bar and its label (empty: none).
struct ZoneSegment {
  int zone = 0;
  TRect rect;
  ZoneText label;
};
// The segments of a bar at `top`, zones zoneCount - 1 down to 0 (those
// drawn), each a step lower and starting where the one before ended; 100 %
// is `barWidth` pixels from x = 30. A zone with time gets its label above
// the segment, or left of it when it would not end before `imageWidth`.
// `end_top`: the top after the last step. No segments when the total is 0.
struct PlannedBar {
  std::vector<ZoneSegment> segments;
  int end_top = 0;
};
PlannedBar PlanZoneBar(const ZoneBar& bar, int zoneCount, int top, int barWidth,
                       const ZoneBarStyle& style, int imageWidth,
                       const std::function<int(const std::string&)>& labelWidth, int labelHeight);

// The picture of a scan: bars at their tops, texts, and the total time for
// the time readout of each quarter of the picture's height.
struct ZonePicture {
  struct Bar {
    ZoneBar bar;
    int top = 0;
    ZoneBarStyle style;
  };
  std::vector<Bar> bars;
  std::vector<ZoneText> texts;
  std::array<int64_t, 4> quarter_total{};
};
// lines: the list walked; counts[i]: line i's trip (counted or not);
// dateRange: the first and the last date of the list joined by " - ".
ZonePicture BuildZonePicture(ZoneLayout layout, const std::vector<std::string>& lines,
                             const std::vector<TripZoneCount>& counts, int zoneCount,
                             const std::array<std::string, 2>& texts, const std::string& dateRange);

// The measuring tool: bar quarter under y, percent under x, readout text.
int MeasureQuarterOf(int y, int baseY);
double MeasurePercentOf(int x, int barWidth);
std::string MeasureCaption(double percent, int64_t seconds);

}  // namespace tav

class TForm56 : public tav::TForm {
 public:
  TForm56();

  // Layout of the list last walked: 0 normal; 2 two blocks (the lines of
  // block 1, a line "BLOCK2", then block 2). Every scan reads the list anew
  // and takes the mode from it, so mode and list always agree, also when
  // another window has handed over a new selection since the opening.
  int BlockMode() const { return block_mode_; }

  int FirstIndex = 0;
  int ItemCount = 0;
  int MeasureState = 0;  // 0 off, 1 start line follows, 2 end line follows, 3 both fixed
  float MeasureStartPercent = 0;
  int MeasureBar = -1;   // quarter of the picture picked for the time readout
  std::array<int64_t, 4> BarTotalSeconds{};
  int BarWidth = 0;      // pixels of 100 %
  int BaseY = 0;         // y of the percent scale
  std::array<std::string, 2> UiText = {"Trips", "Total time"};
  std::string ZoneScanDateRange;

  tav::TImage* Show1 = nullptr;
  tav::TImage* Show_Zonen = nullptr;
  tav::TLabel* LTrain = nullptr;
  tav::TSpeedButton* SB_ZO = nullptr;
  tav::TShape *Sp_a = nullptr, *Sp_e = nullptr;
  tav::TLabel *LT1 = nullptr, *LT2 = nullptr;
  tav::TProgressBar* PB_Scan = nullptr;

  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void SB_ZOClick(tav::TControl* sender);
  void Show1MouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x,
                      int y);
  void Show1MouseUp(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x,
                    int y);
  void Show1MouseMove(tav::TControl* sender, tav::TShiftState shift, int x, int y);

 private:
  void MeasureOff();
  void Scan();
  void DrawPicture(const tav::ZonePicture& picture, int zoneCount);
  void DrawAxes();
  void DrawZoneLegend(int zoneCount, int basis);
  int block_mode_ = 0;
  bool scanning_ = false;
  bool rescan_ = false;  // activated again while scanning
  bool stop_ = false;    // closed while scanning
};

extern TForm56* Form56;
