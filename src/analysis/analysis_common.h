// Pieces every analysis window shares: trip titles and span captions, chart
// colours, the value-axis editor E_SKA and the Show_DAT readout, smoothing
// at a window's own level, the smoothing combo, the maximised state all
// analysis windows share, the F5 help key, and reading listed trips into a
// window's own buffers (one or several at once) without touching the
// current trip.
//
// A window uses them like this:
//   E_SKA = MakeAxisEditor(*this, Chart, [this](double v) { Chart->LeftAxis.SetMaximum(v); });
//   Chart->OnMouseDown = [this](TControl*, TMouseButton b, TShiftState, int x, int y) {
//     if (OpenAxisEditor(*E_SKA, *Chart, x, y, Chart->LeftAxis.Maximum())) return;
//     ShowReadout(*Show_DAT, *Chart, x, y, Format(...));
//   };
//   OnActivate: RestoreAnalysisMaximized(*this);
//               if (ShownAnew(*this, taken_at_show_)) lines_ = ScanList->Lines();
//   OnResize: TrackAnalysisMaximized(*this);
//   OnKeyDown (KeyPreview on): HandleHelpKey(key, 17);
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/core_data.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "platform/canvas.h"
#include "platform/chart.h"
#include "platform/controls.h"

namespace tav {

// ---------------------------------------------------------------------------
// Trip lines, titles and captions
// ---------------------------------------------------------------------------

// A line shorter than this is no trip (a free-slot line, "BLOCK2", junk).
// Manual entries, keys and comments: core/trip_list.h (IsManualLine,
// LineKey, LineComment).
inline constexpr std::size_t kMinTripLineChars = 16;
// The line the diary puts between the two blocks of a block analysis.
inline constexpr std::string_view kBlock2Line = "BLOCK2";

// The title of a trip in captions and legends: the date-and-time text of
// the line's key, two blanks, and the comment ("24.12.2013 - 14:05  Ride").
std::string TripTitle(std::string_view line);

// A text table format with two "%s" (LangLabels[10]) filled with a and b.
// Only the first two "%s" are replaced; every other byte, '%' included, is
// kept as it stands (table texts are never handed to printf).
std::string FillTwoTexts(std::string_view format, std::string_view a, std::string_view b);
// The caption of a window over a span of trips: LangLabels[10] filled with
// the texts of the first and the last date (empty texts for an empty span).
std::string SpanCaption(std::string_view first_text, std::string_view last_text);
// The same for lines first..last of a list (clamped to the list; an empty
// list gives empty dates): the full date-and-time texts of both lines.
std::string SpanCaptionOfLines(const TStringList& list, int first, int last);
std::string SpanCaptionOfLines(const std::vector<std::string>& lines, int first, int last);

// ---------------------------------------------------------------------------
// Charts
// ---------------------------------------------------------------------------

// The analysis colours from ChartColors: slot 0 for the panel, plot and
// legend background; slot 9 for the title and legend fonts, the axis lines,
// titles and labels of the left, right and bottom axes, and the plot frame.
// With `grid` the axis grids take slot 9 too. title_size > 0 sets the size
// of the title font.
void ApplyChartColors(TChart& chart, bool grid = false, int title_size = 12);

// The glyph of the buttons that widen a chart (two arrows out) or put it
// back (two arrows in); the distribution charts and the six-chart overview
// share them.
std::shared_ptr<TBitmap> WidenGlyph(bool widened);

// Points of a curve, x and y apart (as a series stores them).
struct CurvePoints {
  std::vector<double> x, y;
};
// Appends the points of a curve to a series.
void AddCurve(TChartSeries& series, const CurvePoints& curve);
// A text label of a horizontal axis at x (the points of a label series).
struct AxisTextLabel {
  double x = 0;
  std::string text;
};

// Creates the hidden value-axis editor (named "E_SKA" unless a name is
// given) on the chart. A typed ',' becomes '.'. On Enter it hides itself
// and calls apply with the typed number (leading blanks skipped); a value
// that is no number or not above 0 is ignored (an axis ending at or below
// its start would show nothing).
TEdit* MakeAxisEditor(TForm& form, TChart* chart, std::function<void(double)> apply,
                      const std::string& name = "E_SKA");
// True when (x, y) lies in the corner where the editor opens: left of the
// plot and from `above` pixels above its top to less than 30 below it.
bool InAxisEditorCorner(const TChart& chart, int x, int y, int above = 10);
// Opens the editor with " %5.0f" of current, its bottom at the plot's top
// and its right edge at the plot's left, focused with its text selected.
void OpenAxisEditor(TEdit& editor, const TChart& chart, double current);

// A speed button of a scan window: flat (a scan button counts as selected
// while it is not flat), 25 pixels high, `width` wide.
TSpeedButton* MakeScanButton(TForm& form, const std::string& name, const std::string& caption,
                             int width);

// Creates the hidden readout (named "Show_DAT" in most windows) on the chart
// (chart null: on the form, for a readout shared by charts in one place).
TStaticText* MakeReadout(TForm& form, TChart* chart, const std::string& name = "Show_DAT");
// Shows text in the readout 40 pixels above y, at x, or pulled left to end
// 10 pixels inside the chart when it would reach that edge; in front.
void ShowReadout(TStaticText& readout, const TChart& chart, int x, int y, std::string text);
// Mouse position inside the plot in axis values (linear or logarithmic, as
// the axes map); nullopt outside the plot area.
struct PlotPoint {
  double x = 0, y = 0;
};
std::optional<PlotPoint> PlotValueAt(const TChart& chart, int x, int y, const TChartAxis& horiz,
                                     const TChartAxis& vert);

// The altitude range printed beside an altitude curve: the highest and the
// lowest altitude (metres) as "%6.0f %s", in feet ("[ft]") with kUnitMiles
// in unit_flags, else in metres ("[m]").
std::array<std::string, 2> CurveAltitudeTexts(double max_m, double min_m, int unit_flags);

// ---------------------------------------------------------------------------
// Smallest sizes
// ---------------------------------------------------------------------------

// The titles a chart may show (in the current language, for any choice the
// window offers), and what it keeps free.
struct ChartTexts {
  std::vector<std::string> titles;              // title lines, each shown on a line of its own
  std::vector<std::string> left, right, bottom;  // axis titles
  int cornerRoom = 0;   // free pixels beside a centred title at each side (buttons in the corners)
  int plotWidth = 120, plotHeight = 80;  // the least plot that still reads
};
// A window of one chart keeps a larger plot than a window of several.
inline ChartTexts OneChartTexts() {
  ChartTexts t;
  t.plotWidth = 320;
  t.plotHeight = 160;
  return t;
}
struct ChartSize {
  int width = 0, height = 0;
};
// The smallest size of the chart, as it is set up now (fonts, labels,
// legend, margins, title line count), at which every title fits: a title
// line within the chart's width with cornerRoom each side, an axis title
// along its side of the plot, and the plot at least plotWidth x plotHeight.
// The chart is left as it was.
ChartSize LeastChartSize(TChart& chart, const ChartTexts& texts);
// The largest least width and the largest least height among the charts
// (LeastChartSize of each); with visibleOnly a hidden chart is not measured.
ChartSize LeastChartsSize(std::initializer_list<TChart*> charts, const ChartTexts& texts,
                          bool visibleOnly = false);

// ---------------------------------------------------------------------------
// Smoothing
// ---------------------------------------------------------------------------

// The items of the smoothing combos: level 0..9 by item index.
inline constexpr int kSmoothLevels = 10;
extern const char* const kSmoothingItems[kSmoothLevels];
// Fills a combo with kSmoothingItems and selects `level` (clamped to 0..9).
void FillSmoothingCombo(TComboBox& combo, int level);


// ---------------------------------------------------------------------------
// Window behaviour
// ---------------------------------------------------------------------------

// Set while the last analysis window that changed size was not in the
// normal state; each analysis window maximises itself on activation while
// it is set, so they open the way the last one was left.
extern bool AnalysisMaximized;
void TrackAnalysisMaximized(const TForm& form);    // resize / paint handlers
void RestoreAnalysisMaximized(TForm& form);        // activation

// An analysis window takes the trip or the list it shows when an opener
// shows it (Show() by code), and keeps it while the user goes elsewhere and
// comes back: true once for each showing since the last call, which
// `taken` remembers (per window, 0 at first).
bool ShownAnew(const TForm& form, uint64_t& taken);

// ---------------------------------------------------------------------------
// Trips of a list, read into a window's own buffers
// ---------------------------------------------------------------------------

// Seconds between records of a trip buffer: RecordInterval (core/trip_file.h).

// Reads the trip of a list line into `trip` without touching the current
// trip or any other shared data. False for manual lines, lines without ';',
// files that cannot be read ("Cannot open output file.\n" on the error
// stream) and trips of fewer than kMinShowRecords records.
bool ReadListedTrip(std::string_view line, TripFileData& trip);

struct ListedTrip {
  bool ok = false;     // read with at least kMinShowRecords records
  TripFileData data;
};
// Reads the trips of several lines at once (one thread per few lines);
// result i belongs to lines[i].
std::vector<ListedTrip> ReadListedTrips(const std::vector<std::string>& lines);

// Reads the trips of many lines on several threads and hands each trip read
// with at least kMinShowRecords records to use(i, trip) on the thread that
// read it (i: its index in lines; trip is that thread's buffer, valid until
// use returns, so use must keep what it needs and touch only data of its
// own index). While the threads run, the calling thread calls
// waiting(done, total) about every 50 ms, e.g. to show progress and process
// the window events; when it returns false, no further trip is started.
// Without waiting the calling thread simply waits. Unreadable files are
// reported as ReadListedTrip does.
void ForEachListedTrip(const std::vector<std::string>& lines,
                       const std::function<void(std::size_t i, TripFileData& trip)>& use,
                       const std::function<bool(int done, int total)>& waiting = {});
// The same for the trips in `rider_dir` on at most `threads` threads (0: one
// per core), for callers on threads of their own, which must not read
// RiderDir.
void ForEachListedTripIn(const std::string& rider_dir, const std::vector<std::string>& lines,
                         const std::function<void(std::size_t i, TripFileData& trip)>& use,
                         const std::function<bool(int done, int total)>& waiting = {},
                         int threads = 0);

}  // namespace tav
