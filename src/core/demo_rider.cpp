#include "core/demo_rider.h"

#include <algorithm>
#include <cmath>

#include "core/core_data.h"
#include "core/settings.h"
#include "core/statistics.h"
#include "core/trip_catalog.h"
#include "core/trip_database.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "platform/text.h"

namespace tav {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Small deterministic generator (SplitMix64), independent of the library.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  int Int(int lo, int hi) { return lo + static_cast<int>(Uniform() * (hi - lo + 1)); }
  double Normal() {
    double u1 = std::max(Uniform(), 1e-12), u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
  }

 private:
  uint64_t state_;
};

// Steady speed [km/h] at power p [W] on a grade [%] (bisection on the
// power balance of rolling, climbing and air resistance).
double SpeedFromPower(double p, double gradePct, double mass) {
  const double g = 9.81, crr = 0.005, cdA = 0.32, rho = 1.2;
  const double slope = gradePct / 100.0;
  auto need = [&](double v) { return v * (mass * g * (crr + slope)) + 0.5 * rho * cdA * v * v * v; };
  double lo = 0.0, hi = 25.0;  // m/s
  for (int it = 0; it < 50; ++it) {
    double mid = 0.5 * (lo + hi);
    if (need(mid) > p) hi = mid;
    else lo = mid;
  }
  return lo * 3.6;
}

}  // namespace

std::vector<TripSample> MakeSyntheticRide(const SyntheticRideOptions& o) {
  Rng rng(o.Seed);
  const int dt = std::max(1, o.Interval);
  const int records = std::clamp(o.DurationSeconds / dt, 10, kMaxTripRecords - 2) + 1;
  std::vector<TripSample> t(static_cast<std::size_t>(records));

  TripSample& h = t[0];
  HeaderFlags(h) = 0;
  HeaderThreshold(h) = o.Sport == kSportBikePower ? o.Ftp : o.ThresholdHr;
  HeaderWeightX10(h) = o.RiderMass * 10.0f;
  HeaderRunThreshold(h) = o.ThresholdHr + 5.0f;
  HeaderDeviceOffset(h) = 0.0f;
  HeaderKFactor(h) = 1.0f;
  HeaderHrThreshold(h) = o.ThresholdHr;
  HeaderSport(h) = static_cast<int8_t>(o.Sport);

  const bool run = o.Sport == kSportRun;
  const bool power = o.Sport == kSportBikePower && o.WithPowerMeter;
  // Terrain: grade as a sum of slow waves over distance, plus a few climbs.
  const double l1 = rng.Range(3.0, 7.0), l2 = rng.Range(0.8, 2.0), l3 = rng.Range(12.0, 25.0);
  const double f1 = rng.Range(0, 2 * kPi), f2 = rng.Range(0, 2 * kPi), f3 = rng.Range(0, 2 * kPi);
  const double climbAmp = (run ? 0.5 : 1.0) * o.ClimbScale;
  auto gradeAt = [&](double km) {
    double g = 2.5 * std::sin(2 * kPi * km / l1 + f1) + 1.2 * std::sin(2 * kPi * km / l2 + f2) +
               4.0 * std::sin(2 * kPi * km / l3 + f3);
    return std::clamp(g * climbAmp, -12.0, 12.0);
  };

  // Workout structure: intervals every ~15 min, sprints now and then.
  const int intervalPeriod = rng.Int(12, 20) * 60;
  const int intervalLength = rng.Int(3, 6) * 60;
  const double intervalFactor = rng.Range(1.0, 1.15);
  const bool withIntervals = rng.Uniform() < 0.6;
  const double baseFactor = rng.Range(0.58, 0.72);

  const double restHr = 55.0, maxHr = o.ThresholdHr * 1.12;
  double hr = restHr + 20.0, speed = 0.0, dist = 0.0, alt = rng.Range(150.0, 600.0);
  const double alt0 = alt;
  double powerSmooth = 0.0;
  int sprintLeft = 0, intervalNumber = 0;
  double cadenceBase = run ? 0.0 : rng.Range(82.0, 94.0);
  const double runSpeed = rng.Range(9.5, 12.5);

  for (int i = 1; i < records; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    const int time = (i - 1) * dt;
    s.Time = time;
    const double grade = gradeAt(dist);
    // Target power.
    double target = o.Ftp * baseFactor;
    bool inInterval = false;
    if (withIntervals && time > 900 && time < o.DurationSeconds - 600) {
      int phase = (time - 900) % intervalPeriod;
      if (phase < intervalLength) {
        inInterval = true;
        target = o.Ftp * intervalFactor;
        if (phase < dt) ++intervalNumber;
      }
    }
    if (sprintLeft <= 0 && rng.Uniform() < 0.0008 * dt && time > 600) sprintLeft = rng.Int(8, 15);
    if (sprintLeft > 0) {
      target = o.Ftp * rng.Range(2.4, 3.2);
      sprintLeft -= dt;
    }
    target += grade * 0.035 * o.Ftp;
    if (time < 300) target *= 0.6 + 0.4 * time / 300.0;  // warm-up
    bool coasting = grade < -3.5 && sprintLeft <= 0 && !inInterval;
    if (coasting) target = 0.0;
    target = std::max(0.0, target * (1.0 + 0.08 * rng.Normal()));
    powerSmooth += (target - powerSmooth) * (dt >= 2 ? 0.6 : 0.4);
    double p = coasting ? 0.0 : std::max(0.0, powerSmooth);

    // Speed from power and grade, with some inertia.
    double vTarget;
    if (run) {
      vTarget = runSpeed * (1.0 - grade * 0.03) * (1.0 + 0.03 * rng.Normal());
    } else {
      double effective = coasting ? 0.0 : p;
      vTarget = SpeedFromPower(effective, grade, o.RiderMass + 9.0);
      if (coasting) vTarget = std::min(70.0, SpeedFromPower(0.0, grade, o.RiderMass + 9.0));
    }
    speed += (vTarget - speed) * std::min(1.0, 0.15 * dt);
    speed = std::max(0.0, speed);
    double step = speed * dt / 3600.0;
    dist += step;
    alt += grade / 100.0 * step * 1000.0;

    // Heart rate follows the load with a lag and drifts upwards.
    double load = run ? (0.75 + 0.04 * (speed - runSpeed) + grade * 0.02)
                      : (p / std::max(1.0f, o.Ftp));
    double hrTarget = restHr + (maxHr - restHr) * std::clamp(0.35 + 0.55 * load, 0.2, 1.0) +
                      0.025 * time / 60.0;
    hr += (hrTarget - hr) * (1.0 - std::exp(-dt / 35.0));
    double hrOut = std::clamp(hr + 1.2 * rng.Normal(), 40.0, 210.0);

    double cadence = 0.0;
    if (!run && !coasting) {
      cadence = cadenceBase + (sprintLeft > 0 ? 18.0 : 0.0) - grade * 1.2 + 3.0 * rng.Normal();
      cadence = std::clamp(std::floor(cadence), 30.0, 140.0);
      double share = std::clamp(0.50 + 0.02 * rng.Normal(), 0.40, 0.60);
      cadence += std::floor(share * 100.0) / 100.0;
    }

    s.Distance = static_cast<float>(dist);
    s.Power = power ? static_cast<float>(std::round(p)) : 0.0f;
    s.Cadence = static_cast<float>(cadence);
    s.Altitude = static_cast<float>(alt + 0.3 * rng.Normal());
    s.Speed = static_cast<float>(speed);
    s.Temperature = static_cast<float>(o.StartTemperature - 0.0065 * (alt - alt0) +
                                       1.5 * std::sin(time / 5400.0) + 0.1 * rng.Normal());
    s.HeartRate = static_cast<float>(std::round(hrOut));
    s.Pause = 0;
    s.Interval = static_cast<int8_t>(inInterval ? std::min(intervalNumber, 127) : 0);
  }
  return t;
}

void MakeZoneBlock(const TripSample& header, float* zoneBlock) {
  BuildZoneBlockFromRider(header, zoneBlock);
}

bool MakeDemoRider(const std::filesystem::path& programDir, int trips, DemoRiderSummary* summary,
                   std::string* error) {
  ResetCoreData();
  DerivePaths(PathText(programDir));
  CurrentRider = 0;
  CurrentRiderName = "DEMO";
  RiderTable[0].SetName("DEMO");
  RiderTable[0].Weight = 72.0f;
  RiderTable[0].Height = 178.0f;
  RiderZones[0][kZoneRowPower][0] = 265;
  RiderZones[0][kZoneRowBikeHeartRate][0] = 168;
  RiderZones[0][kZoneRowRun][0] = 174;
  DeriveRiderPaths();
  SetupRiderPaths();
  std::error_code ec;
  std::filesystem::create_directories(FsPath(RiderDir), ec);
  if (ec) {
    if (error) *error = "Cannot create the folder " + RiderDir + ".";
    return false;
  }

  Rng rng(20240101);
  const int fullSet = 170;
  const int total = trips > 0 ? std::min(trips, fullSet) : fullSet;
  const int pending = std::min(3, std::max(0, total / 20));
  int32_t day = DateValue(2023, 1, 2);
  TStringList& list = TripList;
  list.Clear();
  list.SetSorted(false);
  int slot = 0;
  int manual = 0;
  float ftp = 240.0f;
  for (int k = 0; k < total; ++k) {
    day += rng.Int(1, 4);
    int y, m, d;
    DateOfValue(day, y, m, d);
    ftp = std::clamp(ftp + static_cast<float>(rng.Range(-1.0, 1.6)), 220.0f, 300.0f);
    double r = rng.Uniform();
    SyntheticRideOptions o;
    o.Seed = 1000u + static_cast<uint32_t>(k);
    o.Sport = r < 0.74 ? kSportBikePower : r < 0.86 ? kSportBikeHeartRate : kSportRun;
    o.WithPowerMeter = o.Sport == kSportBikePower;
    o.Interval = rng.Uniform() < 0.6 ? 1 : 2;
    o.DurationSeconds = o.Sport == kSportRun ? rng.Int(30, 75) * 60 : rng.Int(45, 150) * 60;
    o.Ftp = ftp;
    o.ThresholdHr = 168.0f;
    o.RiderMass = 72.0f;
    o.ClimbScale = static_cast<float>(rng.Range(0.2, 1.6));
    o.StartTemperature = static_cast<float>(10.0 + 10.0 * std::sin(2 * kPi * (m - 4) / 12.0) +
                                            rng.Range(-3.0, 3.0));
    std::vector<TripSample> ride = MakeSyntheticRide(o);
    int hour = rng.Int(7, 18), minute = rng.Int(0, 59), second = rng.Int(0, 59);
    std::string key = MakeTripKey(y, m, d, hour, minute, second, o.Sport,
                                  o.Interval == 1 ? "TAV" : "FIT");

    std::copy(ride.begin(), ride.end(), TripSamples);
    TripSampleCount = static_cast<int32_t>(ride.size());
    SampleInterval = o.Interval;
    BuildZoneBlockFromRider(TripSamples[0], TripZoneBlock);
    std::string comment = "*" + SportComment(o.Sport);
    if (k % 9 == 4) comment += std::string(" hill repeats|~") + "\xA7" + "legs heavy";
    TripNote = comment;
    TripNotePresent = true;
    std::string path = JoinPath(RiderDir, key + ".DEO");
    if (!WriteDeoFile(FsPath(path), error)) return false;
    ++slot;
    bool isPending = k >= total - pending;
    list.Add(key + ";" + Format("%03i", slot) + (isPending ? "PF" : "") + ";" + comment);
    if (!isPending) {
      CurrentTripSlot = slot;
      EvaluateTrip();
    }

    // A manual entry now and then (gym, swim, hike ...).
    if (k % 25 == 12) {
      int kind = 3 + (manual % 5);
      ++slot;
      ++manual;
      std::string mkey = Format("%04i%02i%02i_%02i%02iNR%1i_", y, m, d, 19, 30, kind) + CurrentRiderName;
      list.Add(mkey + ";" + Format("%03i", slot) + ";*" + "manual entry");
      TripSummary s;
      s.TotalTime = rng.Int(30, 90) * 60;
      s.Distance = kind == 5 ? static_cast<float>(rng.Range(1.0, 3.0)) : 0.0f;
      s.MeanHeartRate = static_cast<float>(rng.Range(95.0, 140.0));
      s.MeanTemperature = 20.0f;
      s.MeanSpeed = static_cast<float>(day + 19.5 / 24.0);
      s.MaxSpeed = static_cast<float>(day);
      s.Weight = 72.0f;
      TripSummaryTable[slot] = s;
    }
  }
  // The free-slot line ends the list.
  list.Add(std::string(kFreeSlotPrefix));
  TripCounter = slot;
  BuildTripDateIndex(list);
  if (!SaveTripList(list, error)) return false;
  // Settings naming DEMO as the current rider.
  UnitFlags = 0;
  LanguageIndex = 1;
  if (!SaveSettings(error)) return false;
  if (summary) {
    summary->Trips = total;
    summary->ManualEntries = manual;
    summary->PendingLines = pending;
    summary->RiderDir = RiderDir;
  }
  return true;
}

}  // namespace tav
