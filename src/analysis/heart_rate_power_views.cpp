#include "analysis/heart_rate_power_views.h"

#include <algorithm>
#include <cmath>

#include "core/smoothing.h"
#include "platform/text.h"

namespace tav {

// ---------------------------------------------------------------------------
// Fits and texts
// ---------------------------------------------------------------------------

LineFit FitSums::Fit() const {
  LineFit f;
  if (n < 2) return f;
  const double nn = static_cast<double>(n);
  const double den = sxx - sx * sx / nn;
  // Rounding leaves a trace of variance where x does not vary at all.
  if (!(den > 1e-9 * sxx)) return f;
  f.b = (sxy - sx * sy / nn) / den;
  f.a = sy / nn - f.b * sx / nn;
  f.ok = std::isfinite(f.a) && std::isfinite(f.b);
  return f;
}

std::string HeartRateFitText(const LineFit& fit) {
  return fit.ok ? Format("HR = %8.2f + POWER * %5.3f", fit.a, fit.b) : std::string();
}

std::string DriftFitText(const LineFit& fit, int interval, const std::string& timeWord) {
  if (!fit.ok) return {};
  const double per_hour = fit.b * 3600.0 / std::max(1, interval);
  return Format("HR / POWER =%8.2f %c%6.3f * %s[H]", fit.a, per_hour < 0 ? '-' : '+', std::fabs(per_hour),
                timeWord.c_str());
}

// ---------------------------------------------------------------------------
// Time axis
// ---------------------------------------------------------------------------

int TimeLabelStep(int length, int chartWidth, int interval) {
  const int step = std::max(0, length) / std::max(1, chartWidth - 50) * 30;
  return std::max({step, 60 / std::max(1, interval), 30});
}

std::vector<AxisTextLabel> TimeLabels(int count, int step, int interval, double powerScale) {
  std::vector<AxisTextLabel> labels;
  step = std::max(1, step);
  for (int k = 0; k < count; k += step) {
    const int64_t t = int64_t{k} * std::max(1, interval);
    const int h = static_cast<int>(t / 3600), m = static_cast<int>(t % 3600 / 60);
    labels.push_back({static_cast<double>(k), powerScale > 0 ? Format("%4.0f   %i:%02i", k / powerScale, h, m)
                                                             : Format("%i:%02i", h, m)});
  }
  return labels;
}

TimeWindow ZoomTimeWindow(TimeWindow w, bool in, int count) {
  count = std::max(0, count);
  if (in) {
    const int length = w.length / 2;
    if (length < kMinTimeWindow) return w;
    w.start += length / 2;
    w.length = length;
  } else {
    w.length = std::min(std::max(1, w.length) * 2, count);
    w.start -= w.length / 2;
  }
  w.start = std::clamp(w.start, 0, std::max(0, count - w.length));
  return w;
}

TimeWindow ScrollTimeWindow(double shownMin, int length, bool right, int count) {
  const double shift = 2.0 * length / 3.0;
  const double start = right ? shownMin + shift : shownMin - shift;
  TimeWindow w{0, std::clamp(length, 0, std::max(0, count))};
  w.start = static_cast<int>(std::clamp(start, 0.0, static_cast<double>(std::max(0, count - w.length))));
  return w;
}

void SeriesPoints::Add(double px, double py, TColor c) {
  if (color.empty()) color.assign(x.size(), clTeeColor);
  x.push_back(px);
  y.push_back(py);
  color.push_back(c);
}

// ---------------------------------------------------------------------------
// Views
// ---------------------------------------------------------------------------

namespace {

constexpr TColor kPhaseColors[2] = {clRed, clLime};  // rising, falling heart rate
constexpr int kAltitudeHalfWidth = 15;

// The smoothed channels of the ride.
struct Channels {
  std::vector<SmoothSample> s;
  float altMax = 0, altMin = 100000.0f;
  float p(int i) const { return s[static_cast<std::size_t>(i)][kSmoothPower]; }
  float h(int i) const { return s[static_cast<std::size_t>(i)][kSmoothHeartRate]; }
  float alt(int i) const { return s[static_cast<std::size_t>(i)][kSmoothAltitude]; }
};

Channels SmoothChannels(const HrPowerInput& in, bool power, bool altitude) {
  Channels c;
  const int n = in.count;
  c.s.assign(static_cast<std::size_t>(std::max(0, n)), SmoothSample{});
  if (n < 2) return c;
  if (power) SmoothColumnOf(in.samples, n, c.s.data(), kSmoothPower, in.powerHalfWidth, {.ZeroUnpedalled = false});
  SmoothColumnOf(in.samples, n, c.s.data(), kSmoothHeartRate, in.heartRateHalfWidth);
  if (altitude) {
    SmoothColumnOf(in.samples, n, c.s.data(), kSmoothAltitude, kAltitudeHalfWidth, {.KeepRawEnds = true});
    for (int i = 20; i < n; ++i) {
      c.altMax = std::max(c.altMax, c.alt(i));
      c.altMin = std::min(c.altMin, c.alt(i));
    }
  }
  return c;
}

float AltitudeScale(const Channels& c, double top) {
  const double span = static_cast<double>(c.altMax) - c.altMin;
  return span > 0 ? static_cast<float>(top / span) : 1.0f;
}

// The line of a fit through the value-axis ends (x = (y - a) / b), x drawn
// times `scale`; a flat line spans the record axis at y = a.
void AddFitLine(SeriesPoints& s, const LineFit& fit, const ValueRange& y, double scale, int count) {
  if (!fit.ok) return;
  if (fit.b == 0) {
    s.Add(0, fit.a);
    s.Add(count, fit.a);
    return;
  }
  for (double v : {y.max, y.min}) s.Add((v - fit.a) / fit.b * scale, v);
}

void AddAltitude(SeriesPoints& s, const Channels& c, int i, float scale) {
  s.Add(i, (c.alt(i) - c.altMin) * scale, clMaroon);
}

HrPowerView HeartRateChange(const HrPowerInput& in, HrPowerView v) {
  const int n = in.count, dt = std::max(1, in.interval);
  v.title = in.texts[6];
  v.leftTitle = "HR [1/min]";
  v.rightTitle = "delta - HR [1/min]";
  v.rightShown = true;
  v.right = {-60, v.left.max - 60};
  v.margin = std::max({in.heartRateHalfWidth, 10, in.delay});
  const int lo = v.margin + 1, hi = n - v.margin;
  if (lo >= hi) return v;
  const Channels c = SmoothChannels(in, false, in.altitude);
  float max_hr = 0;
  for (int i = lo; i < hi; ++i) max_hr = std::max(max_hr, c.h(i));
  if (!(max_hr > 0)) return v;  // no heart rate
  v.altitudeMax = c.altMax;
  v.altitudeMin = c.altMin;
  if (in.altitude) v.altitudeScale = AltitudeScale(c, max_hr);
  for (int i = lo; i < hi; ++i) {
    v.series[2].Add(i, c.h(i), c.h(i - 1) > c.h(i + 1) ? clLime : clRed);
    if (in.altitude) AddAltitude(v.series[6], c, i, v.altitudeScale);
    const double d = c.h(i + 1) - c.h(i - 1);
    v.series[5].Add(i, std::trunc(d * 30.0 / dt), d > 0 ? clLime : clTeeColor);
  }
  v.left = {0, max_hr * 1.1};
  v.right = {-60, v.left.max - 60};
  v.drawn = true;
  return v;
}

HrPowerView HeartRateOnPower(const HrPowerInput& in, HrPowerView v) {
  const int n = in.count, d = in.delay;
  v.title = in.texts[1];
  v.leftTitle = in.texts[5] + " [1/min]";
  v.bottomTitle = "Power [W]";
  v.fitColor = clYellow;
  v.margin = std::max({in.powerHalfWidth, in.heartRateHalfWidth, 10});
  const int lo = v.margin + 1, hi = n - v.margin - d;
  if (lo >= hi) return v;
  const Channels c = SmoothChannels(in, true, false);
  float max_p = c.p(lo), max_h = 0, min_h = 1000;
  for (int i = lo; i < hi; ++i) {
    max_p = std::max(max_p, c.p(i));
    max_h = std::max(max_h, c.h(i));
    if (c.h(i) > 60) min_h = std::min(min_h, c.h(i));
  }
  const double top_p = in.fromClip ? max_p + 10.0 : 500.0;
  if (!(max_h > 0) || !(top_p > 0)) return v;  // no heart rate, or no power scale
  const double s = n / top_p;
  v.powerScale = s;
  FitSums rising, falling, all;
  for (int i = lo; i < hi; ++i) {
    const double x = c.p(i), y = c.h(i + d);
    all.Add(x, y);
    if (c.p(i - 1) < c.p(i)) {
      v.series[8].Add(x * s, y);
      rising.Add(x, y);
    } else if (c.p(i - 1) > c.p(i)) {
      v.series[7].Add(x * s, y);
      falling.Add(x, y);
    }
  }
  for (int k = 0; k < top_p + 25; k += 25) v.labels.push_back({k * s, Format("%i", k)});
  if (in.fromClip) {
    min_h = std::min(min_h, max_h);
    v.left = {min_h - 5.0, max_h + 5.0};
  } else {
    v.left = {100, 200};
  }
  const LineFit fr = rising.Fit(), ff = falling.Fit(), fa = all.Fit();
  v.risingFit = HeartRateFitText(fr);
  v.fallingFit = HeartRateFitText(ff);
  v.allFit = HeartRateFitText(fa);
  AddFitLine(v.series[9], fr, v.left, s, n);
  AddFitLine(v.series[10], ff, v.left, s, n);
  AddFitLine(v.series[11], fa, v.left, s, n);
  v.drawn = true;
  return v;
}

HrPowerView Phases(const HrPowerInput& in, HrPowerView v) {
  const int n = in.count, d = in.delay;
  const TripSample* raw = in.samples;
  v.title = in.texts[1];
  v.leftTitle = v.rightTitle = "Power [Watt] , HR [1/min]";
  v.bottomTitle = "Power [Watt], " + in.texts[4] + " [hh:mm]";
  v.rightShown = true;
  const int m0 = std::max({in.powerHalfWidth, in.heartRateHalfWidth, 10});
  v.margin = m0;
  if (m0 + 1 >= n - m0 - d) return v;
  const Channels c = SmoothChannels(in, true, in.altitude);
  float max_p = 0, max_h = 0;
  for (int i = m0 + 1; i < n - m0 - d; ++i) {
    max_p = std::max(max_p, c.p(i));
    max_h = std::max(max_h, c.h(i));
  }
  if (!(max_p >= 10) || !(max_h > 0)) return v;  // no power, or no heart rate to cut into phases
  v.altitudeMax = c.altMax;
  v.altitudeMin = c.altMin;
  if (in.altitude) v.altitudeScale = AltitudeScale(c, max_p);
  const double ps = n / static_cast<double>(max_p);
  v.powerScale = ps;
  v.margin = std::max(m0, d);
  const int lo = v.margin + 1, hi = n - v.margin - d;

  // Rising (0) and falling (1) heart-rate phases; a phase of two records or
  // fewer is not closed, its power joins the next phase of its direction.
  int state = 0, j0 = lo;
  double sum[2] = {0, 0};
  int64_t cnt[2] = {0, 0};
  FitSums fit;
  for (int i = lo; i < hi; ++i) {
    const bool go_on = state == 0 ? c.h(i - 1) <= c.h(i + 1) : c.h(i - 1) >= c.h(i + 1);
    if (go_on) {
      sum[state] += raw[i - d].Power;
      ++cnt[state];
    } else {
      if (cnt[state] > 2) {
        const double mean = sum[state] / static_cast<double>(cnt[state]);
        v.series[7].Add(mean * ps, c.h(i));
        fit.Add(mean, c.h(i));
        for (int k = j0; k < i; ++k) v.series[3].Add(k - d, mean, clBlue);
        j0 = i;
        sum[state] = 0;
        cnt[state] = 0;
      }
      state = 1 - state;
    }
    v.series[2].Add(i, c.h(i), kPhaseColors[state]);
    v.series[1].Add(i, c.p(i), clYellow);
    if (in.altitude) AddAltitude(v.series[4], c, i, v.altitudeScale);
  }
  v.labelStep = TimeLabelStep(n, in.chartWidth, in.interval);
  v.labels = TimeLabels(n, v.labelStep, in.interval, ps);
  v.left = v.right = {0, max_p + 10.0};
  const LineFit f = fit.Fit();
  v.risingFit = HeartRateFitText(f);
  AddFitLine(v.series[9], f, v.left, ps, n);
  v.drawn = true;
  return v;
}

HrPowerView Drift(const HrPowerInput& in, HrPowerView v) {
  const int n = in.count, d = in.delay;
  const TripSample* raw = in.samples;
  v.title = in.texts[1];
  v.leftTitle = "Power [W]";
  v.rightTitle = in.texts[5] + " [1/min]";
  v.rightShown = true;
  v.rightGrid = false;
  v.fitColor = clBlue;
  const int m0 = std::max({in.powerHalfWidth, in.heartRateHalfWidth, 10});
  v.margin = m0;
  double psum = 0, hsum = 0;
  int64_t pn = 0, hn = 0;
  for (int i = 1; i < n; ++i) {
    if (raw[i].Power > 0) {
      psum += raw[i].Power;
      ++pn;
    }
    if (raw[i].HeartRate > 0) {
      hsum += raw[i].HeartRate;
      ++hn;
    }
  }
  if (pn == 0 || hn == 0 || m0 + 1 >= n - m0 - d) return v;  // no power, no heart rate, too short
  const double pm = psum / static_cast<double>(pn), hm = hsum / static_cast<double>(hn);
  const Channels c = SmoothChannels(in, true, true);
  float max_p = 0;
  for (int i = m0 + 1; i < n - m0; ++i) max_p = std::max(max_p, c.p(i));
  if (!(max_p >= 10)) return v;
  v.altitudeMax = c.altMax;
  v.altitudeMin = c.altMin;
  if (in.altitude) v.altitudeScale = AltitudeScale(c, max_p);
  v.margin = std::max(m0, d);
  const int lo = v.margin + 1, hi = n - v.margin - d;

  // Rising heart-rate phases, where the road does not fall: the ratio of
  // their heart rate to the power that drove it.
  const double ratio_limit = hm / pm * 1.5;
  int state = 0;
  double ps = 0, hs = 0;
  int64_t cnt = 0;
  FitSums drift;
  for (int i = lo; i < hi; ++i) {
    if (state == 0) {
      if (c.h(i - 1) <= c.h(i + 1)) {
        if (c.alt(i + 1) - c.alt(i - 1) > -0.005f) {
          ps += raw[i - d].Power;
          hs += raw[i].HeartRate;
          ++cnt;
        }
      } else {
        if (cnt > 20 && ps > 0 && hs / ps < ratio_limit) {
          drift.Add(i, hs / ps);
          v.series[7].Add(i, hs / ps * 100.0);
        }
        ps = hs = 0;
        cnt = 0;
        state = 1;
      }
    } else if (c.h(i - 1) < c.h(i + 1)) {
      state = 0;
    }
    v.series[1].Add(i, c.p(i - d));
    v.series[2].Add(i, ((c.h(i) - hm) * 2.0 / hm + 1.0) * pm);
    if (in.altitude) AddAltitude(v.series[6], c, i, v.altitudeScale);
  }
  v.labelStep = TimeLabelStep(n, in.chartWidth, in.interval);
  v.labels = TimeLabels(n, v.labelStep, in.interval);
  for (const AxisTextLabel& l : v.labels) {
    v.series[3].Add(l.x, pm, clYellow);
    v.series[3].Add(l.x + v.labelStep / 2, pm, clRed);
  }
  const LineFit f = drift.Fit();
  v.risingFit = DriftFitText(f, in.interval, in.texts[4]);
  if (f.ok) {
    v.series[9].Add(0, f.a * 100.0);
    v.series[9].Add(n, (f.a + f.b * n) * 100.0);
  }
  v.left = {0, max_p};
  v.right = {hm * 0.5, (max_p - pm) * 0.5 / (pm / hm) + hm};
  v.drawn = true;
  return v;
}

}  // namespace

HrPowerView ComputeHrPowerView(int view, const HrPowerInput& in) {
  HrPowerView v;
  v.bottom = {0, static_cast<double>(std::max(1, in.count))};
  v.bottomTitle = in.texts[4] + " [hh:mm]";
  if (in.samples == nullptr || in.count < 4) return v;
  HrPowerView r;
  switch (view) {
    case kViewHeartRateOnPower: r = HeartRateOnPower(in, std::move(v)); break;
    case kViewPhases: r = Phases(in, std::move(v)); break;
    case kViewDrift: r = Drift(in, std::move(v)); break;
    default: r = HeartRateChange(in, std::move(v)); break;
  }
  if (r.labels.empty() && view != kViewHeartRateOnPower) {
    r.labelStep = TimeLabelStep(in.count, in.chartWidth, in.interval);
    r.labels = TimeLabels(in.count, r.labelStep, in.interval);
  }
  return r;
}

}  // namespace tav
