#include "analysis/analysis_common.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "core/trip_date_text.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace tav {

// ---------------------------------------------------------------------------
// Titles and captions
// ---------------------------------------------------------------------------

std::string TripTitle(std::string_view line) {
  return FormatTripDateTime(LineKey(line)) + "  " + LineComment(line);
}

std::string FillTwoTexts(std::string_view format, std::string_view a, std::string_view b) {
  std::string out;
  out.reserve(format.size() + a.size() + b.size());
  int filled = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (filled < 2 && format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
      out += filled++ == 0 ? a : b;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::string SpanCaption(std::string_view first_text, std::string_view last_text) {
  // Until a language table has run the slot is empty: English then.
  const std::string& slot = LangLabels[10];
  return FillTwoTexts(slot.empty() ? std::string_view("Analyze of %s to %s") : slot, first_text,
                      last_text);
}

std::string SpanCaptionOfLines(const TStringList& list, int first, int last) {
  return SpanCaptionOfLines(list.Lines(), first, last);
}

std::string SpanCaptionOfLines(const std::vector<std::string>& lines, int first, int last) {
  if (lines.empty()) return SpanCaption("", "");
  const int count = static_cast<int>(lines.size());
  first = std::clamp(first, 0, count - 1);
  last = std::clamp(last, first, count - 1);
  return SpanCaption(FormatTripDateTime(LineKey(lines[static_cast<std::size_t>(first)])),
                     FormatTripDateTime(LineKey(lines[static_cast<std::size_t>(last)])));
}

// ---------------------------------------------------------------------------
// Charts
// ---------------------------------------------------------------------------

void ApplyChartColors(TChart& chart, bool grid, int title_size) {
  const TColor back = ChartColors[0];
  const TColor text = ChartColors[9];
  chart.Color = back;
  chart.BackColor = back;
  chart.Legend.Color = back;
  chart.Title.Font.Color = text;
  if (title_size > 0) chart.Title.Font.Size = title_size;
  chart.Legend.Font.Color = text;
  for (TChartAxis* axis : {&chart.LeftAxis, &chart.RightAxis, &chart.BottomAxis}) {
    axis->AxisPen.Color = text;
    axis->TitleFont.Color = text;
    axis->LabelsFont.Color = text;
    if (grid) axis->GridPen.Color = text;
  }
  chart.Frame.Color = text;
}

void AddCurve(TChartSeries& series, const CurvePoints& curve) {
  const std::size_t n = std::min(curve.x.size(), curve.y.size());
  series.AddXYs(curve.x.data(), curve.y.data(), static_cast<int>(n));
}

TEdit* MakeAxisEditor(TForm& form, TChart* chart, std::function<void(double)> apply,
                      const std::string& name) {
  TEdit* edit = form.Make<TEdit>(name, chart);
  edit->Visible = false;
  edit->SetBounds(0, 0, 60, 21);
  edit->OnKeyPress = [](TControl*, char& key) {
    if (key == ',') key = '.';
  };
  edit->OnKeyDown = [edit, apply = std::move(apply)](TControl*, WORD& key, TShiftState) {
    if (key != VK_RETURN) return;
    edit->Hide();
    const double v = ToDouble(edit->Text);
    if (v > 0 && apply) apply(v);
  };
  return edit;
}

bool InAxisEditorCorner(const TChart& chart, int x, int y, int above) {
  const TRect plot = chart.PlotRect();
  const int below_top = y - plot.Top;
  return x < plot.Left && below_top >= -above && below_top < 30;
}

void OpenAxisEditor(TEdit& editor, const TChart& chart, double current) {
  const TRect plot = chart.PlotRect();
  editor.Text = Format(" %5.0f", current);
  editor.Width = std::clamp(plot.Left, 36, 60);
  editor.Left = std::max(0, plot.Left - editor.Width);
  editor.Top = std::max(0, plot.Top - editor.Height);
  editor.Show();
  editor.BringToFront();
  editor.SetFocus();
  editor.SelectAll();
}

TSpeedButton* MakeScanButton(TForm& form, const std::string& name, const std::string& caption,
                             int width) {
  auto* b = form.Make<TSpeedButton>(name);
  b->Caption = caption;
  b->Flat = true;
  b->SetBounds(0, 0, width, 25);
  return b;
}

std::array<std::string, 2> CurveAltitudeTexts(double max_m, double min_m, int unit_flags) {
  const bool feet = unit_flags & kUnitMiles;
  const double factor = feet ? kFeetPerMetre : 1.0;
  const char* unit = feet ? "[ft]" : "[m]";
  return {Format("%6.0f %s", max_m * factor, unit), Format("%6.0f %s", min_m * factor, unit)};
}

ChartSize LeastChartSize(TChart& chart, const ChartTexts& texts) {
  const int keep_w = chart.Width, keep_h = chart.Height;
  const std::string keep_left = chart.LeftAxis.Title, keep_right = chart.RightAxis.Title,
                    keep_bottom = chart.BottomAxis.Title;
  // The widest of the list and the title now (the first of equally wide).
  auto longest = [&](const std::vector<std::string>& list, const TFont& font, const std::string& now) {
    std::string best = now;
    int best_w = MeasureTextWidth(font, best);
    for (const std::string& t : list)
      if (const int w = MeasureTextWidth(font, t); w > best_w) {
        best = t;
        best_w = w;
      }
    return best;
  };
  chart.LeftAxis.Title = longest(texts.left, chart.LeftAxis.TitleFont, keep_left);
  chart.RightAxis.Title = longest(texts.right, chart.RightAxis.TitleFont, keep_right);
  chart.BottomAxis.Title = longest(texts.bottom, chart.BottomAxis.TitleFont, keep_bottom);
  int title_w = 0;
  std::vector<std::string> lines = texts.titles;
  for (const std::string& t : chart.Title.Text) lines.push_back(t);
  if (chart.Title.Visible)
    for (const std::string& t : lines) title_w = std::max(title_w, MeasureTextWidth(chart.Title.Font, t));
  // A chart not filled yet is measured with a title line.
  const std::vector<std::string> keep_title = chart.Title.Text.Lines();
  if (keep_title.empty() && !texts.titles.empty()) chart.Title.Text.Add(texts.titles.front());
  // The least value in [1, 4000] for which fits() holds (it holds from
  // some value on), searched from a guess outwards in growing steps, then
  // halving the last step: a good guess costs two or three layouts.
  auto least = [](int guess, const std::function<bool(int)>& fits) {
    constexpr int kMost = 4000;
    int lo, hi;  // fits(hi), !fits(lo) (lo 0: nothing below was tried)
    const int g = std::clamp(guess, 1, kMost);
    if (fits(g)) {
      hi = g;
      lo = 0;
      for (int step = 1; hi - step >= 1; step *= 2) {
        if (!fits(hi - step)) {
          lo = hi - step;
          break;
        }
        hi -= step;
      }
    } else {
      lo = g;
      hi = kMost;
      for (int step = 1; lo + step < kMost; step *= 2) {
        if (fits(lo + step)) {
          hi = lo + step;
          break;
        }
        lo += step;
      }
    }
    while (hi - lo > 1) {
      const int mid = lo + (hi - lo) / 2;
      if (fits(mid)) hi = mid; else lo = mid;
    }
    return hi;
  };
  auto along = [](const TChartAxis& a, int length) {
    return !a.Drawn() || a.Title.empty() || MeasureTextWidth(a.TitleFont, a.Title) <= length;
  };
  auto title_w_of = [](const TChartAxis& a) { return a.Drawn() && !a.Title.empty() ? MeasureTextWidth(a.TitleFont, a.Title) : 0; };
  // The guesses: what the chart keeps beside its plot at its size now, its
  // margins growing with its size.
  chart.Width = keep_w;
  chart.Height = std::max(keep_h, 400);
  const TRect plot_now = chart.PlotRect();
  const double margin_w = chart.MarginUnits == TMarginUnits::muPercent ? (chart.MarginLeft + chart.MarginRight) / 100.0 : 0.0;
  const double margin_h = chart.MarginUnits == TMarginUnits::muPercent ? (chart.MarginTop + chart.MarginBottom) / 100.0 : 0.0;
  const double beside_w = chart.Width - plot_now.Width() - chart.Width * margin_w;
  const int need_w = std::max({texts.plotWidth, title_w_of(chart.BottomAxis), title_w_of(chart.TopAxis)});
  const int guess_w = static_cast<int>(std::max(need_w + beside_w, static_cast<double>(title_w + 2 * texts.cornerRoom)) /
                                       std::max(0.5, 1.0 - margin_w));
  ChartSize size;
  size.width = least(guess_w, [&](int w) {
    chart.Width = w;
    const TRect m = chart.MarginPixels();
    const TRect plot = chart.PlotRect();
    return w - m.Left - m.Right >= title_w + 2 * texts.cornerRoom && plot.Width() >= texts.plotWidth &&
           along(chart.BottomAxis, plot.Width()) && along(chart.TopAxis, plot.Width());
  });
  chart.Width = size.width;
  const TRect plot_at_w = chart.PlotRect();
  const double beside_h = chart.Height - plot_at_w.Height() - chart.Height * margin_h;
  const int need_h = std::max({texts.plotHeight, title_w_of(chart.LeftAxis), title_w_of(chart.RightAxis)});
  const int guess_h = static_cast<int>((need_h + beside_h) / std::max(0.5, 1.0 - margin_h));
  size.height = least(guess_h, [&](int h) {
    chart.Height = h;
    const TRect plot = chart.PlotRect();
    return plot.Height() >= texts.plotHeight && along(chart.LeftAxis, plot.Height()) &&
           along(chart.RightAxis, plot.Height());
  });
  chart.Width = keep_w;
  chart.Height = keep_h;
  chart.LeftAxis.Title = keep_left;
  chart.RightAxis.Title = keep_right;
  chart.BottomAxis.Title = keep_bottom;
  chart.Title.Text.Assign(keep_title);
  return size;
}

ChartSize LeastChartsSize(std::initializer_list<TChart*> charts, const ChartTexts& texts, bool visibleOnly) {
  ChartSize least;
  for (TChart* c : charts) {
    if (visibleOnly && !c->Visible) continue;
    const ChartSize s = LeastChartSize(*c, texts);
    least = {std::max(least.width, s.width), std::max(least.height, s.height)};
  }
  return least;
}

TStaticText* MakeReadout(TForm& form, TChart* chart, const std::string& name) {
  TStaticText* readout = form.Make<TStaticText>(name, chart);
  readout->Visible = false;
  readout->Transparent = false;
  readout->Color = clInfoBk;
  return readout;
}

void ShowReadout(TStaticText& readout, const TChart& chart, int x, int y, std::string text) {
  readout.SetCaption(std::move(text));
  // A readout beside the chart (shared by charts in one place) is placed in
  // the coordinates of the chart's parent.
  const int dx = readout.Parent == &chart ? 0 : chart.Left;
  const int dy = readout.Parent == &chart ? 0 : chart.Top;
  readout.Top = dy + y - 40;
  readout.Left = dx + (x + readout.Width < chart.Width - 10 ? x : chart.Width - readout.Width - 10);
  readout.Show();
  readout.BringToFront();
}

std::optional<PlotPoint> PlotValueAt(const TChart& chart, int x, int y, const TChartAxis& horiz,
                                     const TChartAxis& vert) {
  const TRect plot = chart.PlotRect();
  if (x < plot.Left || y > plot.Bottom) return std::nullopt;
  return PlotPoint{horiz.PixelToValue(x), vert.PixelToValue(y)};
}

// ---------------------------------------------------------------------------
// Smoothing
// ---------------------------------------------------------------------------

const char* const kSmoothingItems[kSmoothLevels] = {
    "   0",      "   3 SEC", "   5 SEC", "  10 SEC", "  15 SEC",
    "  20 SEC",  "  30 SEC", "   1 MIN", "   2 MIN", "   4 MIN"};

void FillSmoothingCombo(TComboBox& combo, int level) {
  combo.Items.Clear();
  for (const char* item : kSmoothingItems) combo.Items.Add(item);
  combo.Select(std::clamp(level, 0, kSmoothLevels - 1));
}

// ---------------------------------------------------------------------------
// Window behaviour
// ---------------------------------------------------------------------------

bool AnalysisMaximized = false;

void TrackAnalysisMaximized(const TForm& form) {
  if (form.Visible) AnalysisMaximized = form.WindowState != TWindowState::wsNormal;
}

void RestoreAnalysisMaximized(TForm& form) {
  if (AnalysisMaximized) form.WindowState = TWindowState::wsMaximized;
}

bool ShownAnew(const TForm& form, uint64_t& taken) {
  if (form.ShowCalls() == taken) return false;
  taken = form.ShowCalls();
  return true;
}

std::shared_ptr<TBitmap> WidenGlyph(bool widened) {
  // Two arrows pointing out (widen) or in (back to the normal width).
  auto glyph = std::make_shared<TBitmap>(14, 14);
  glyph->Fill(clBtnFace);
  TCanvas& cv = glyph->Canvas();
  cv.Pen.Color = clBlack;
  cv.Brush.Color = clBlack;
  const int y = 7;
  cv.MoveTo(1, y);
  cv.LineTo(13, y);
  if (widened) {
    cv.Polygon({{5, y}, {2, y - 3}, {2, y + 3}});
    cv.Polygon({{8, y}, {11, y - 3}, {11, y + 3}});
  } else {
    cv.Polygon({{1, y}, {4, y - 3}, {4, y + 3}});
    cv.Polygon({{12, y}, {9, y - 3}, {9, y + 3}});
  }
  return glyph;
}

// ---------------------------------------------------------------------------
// Reading listed trips
// ---------------------------------------------------------------------------

namespace {
// The part of ReadListedTrip that touches nothing shared: reading a path.
bool ReadTripAt(const std::string& path, TripFileData& trip) {
  if (path.empty()) return false;
  return ReadTripFile(FsPath(path), trip, nullptr) == TripReadError::None;
}
bool UsableLine(std::string_view line) {
  return line.size() >= kMinTripLineChars && !IsManualLine(line);
}
}  // namespace

bool ReadListedTrip(std::string_view line, TripFileData& trip) {
  if (!UsableLine(line)) return false;
  const std::string path = TripPathOfLine(line);
  if (path.empty()) return false;
  if (!ReadTripAt(path, trip)) {
    ReportCannotOpen();
    return false;
  }
  return trip.Count() >= kMinShowRecords;
}

void ForEachListedTrip(const std::vector<std::string>& lines,
                       const std::function<void(std::size_t, TripFileData&)>& use,
                       const std::function<bool(int, int)>& waiting) {
  // RiderDir is read here, on the thread it belongs to.
  ForEachListedTripIn(RiderDir, lines, use, waiting);
}

void ForEachListedTripIn(const std::string& rider_dir, const std::vector<std::string>& lines,
                         const std::function<void(std::size_t, TripFileData&)>& use,
                         const std::function<bool(int, int)>& waiting, int threads) {
  const std::size_t n = lines.size();
  if (n == 0) return;  // no worker would ever end the wait
  std::vector<std::string> paths(n);
  for (std::size_t i = 0; i < n; ++i)
    if (UsableLine(lines[i])) paths[i] = TripPathOfLine(lines[i], rider_dir);
  std::atomic<std::size_t> next{0};
  std::atomic<int> done{0}, failed{0};
  std::atomic<bool> stop{false};
  auto work = [&] {
    TripFileData trip;  // one buffer per worker, reused from trip to trip
    for (std::size_t i; !stop.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < n;) {
      if (!paths[i].empty()) {
        if (!ReadTripAt(paths[i], trip)) failed.fetch_add(1);
        else if (trip.Count() >= kMinShowRecords) use(i, trip);
      }
      done.fetch_add(1, std::memory_order_release);
    }
  };
  const std::size_t workers = std::min<std::size_t>(
      n, threads > 0 ? static_cast<unsigned>(threads) : std::max(1u, std::thread::hardware_concurrency()));
  TEvent finished;  // with a waiting hook: set by the last worker to end
  std::atomic<std::size_t> running{workers};
  // When no further thread can be made, those that run share the work (and
  // with none at all the calling thread does it).
  std::vector<std::thread> pool;
  pool.reserve(workers);
  // A thread left running would end the program: when the waiting hook or
  // the calling thread's share throws, the others stop and are joined first.
  struct JoinLeftOver {
    std::vector<std::thread>& pool;
    std::atomic<bool>& stop;
    ~JoinLeftOver() {
      stop.store(true);
      for (std::thread& t : pool)
        if (t.joinable()) t.join();
    }
  } join_left_over{pool, stop};
  auto spawn = [&](auto body) {
    try {
      pool.emplace_back(body);
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  };
  if (!waiting) {
    // The calling thread takes its share too.
    for (std::size_t w = 1; w < workers && spawn(work); ++w) {}
    work();
    for (auto& t : pool) t.join();
  } else {
    auto worker = [&] {
      work();
      if (running.fetch_sub(1) == 1) finished.Set();
    };
    std::size_t started = 0;
    while (started < workers && spawn(worker)) ++started;
    if (started == 0) work();  // no progress shown, but the work is done
    // The threads that could not be made count as finished.
    if (running.fetch_sub(workers - started) == workers - started) finished.Set();
    while (!finished.Wait(50))
      if (!waiting(done.load(std::memory_order_acquire), static_cast<int>(n))) stop = true;
    for (auto& t : pool) t.join();
  }
  for (int f = failed.load(); f > 0; --f) ReportCannotOpen();
}

std::vector<ListedTrip> ReadListedTrips(const std::vector<std::string>& lines) {
  std::vector<ListedTrip> trips(lines.size());
  ForEachListedTrip(lines, [&](std::size_t i, TripFileData& trip) {
    trips[i].data = std::move(trip);
    trips[i].ok = true;
  });
  return trips;
}

}  // namespace tav
