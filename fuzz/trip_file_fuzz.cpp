// Trip files: the reader of the current trip and the pure decoder, then
// what the program does with a trip it read: statistics, smoothing, the
// view's series and the CSV export. A trip that reads gives finite
// statistics, smoothed values and series, and times that are not negative.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/core_data.h"
#include "core/smoothing.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "fuzz_check.h"
#include "viewing/trip_view_model.h"

namespace {
void CheckSummary(const tav::TripSummary& s) {
  FUZZ_CHECK(s.TotalTime >= 0 && s.ClimbTime >= 0 && s.PowerTime >= 0);
  for (float v : {s.Distance, s.ClimbDistance, s.Ascent, s.MaxAltitude, s.MinAltitude,
                  s.MeanPowerAll, s.MeanPowerNonZero, s.ClimbPower, s.MaxPower, s.NP, s.IF, s.TSS,
                  s.Work, s.MeanHeartRate, s.MaxHeartRate, s.MeanCadence, s.MaxCadence,
                  s.MeanSpeed, s.MaxSpeed, s.MeanTemperature, s.Weight})
    FUZZ_CHECK(std::isfinite(v));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TripFileData decoded;
  const bool decodes = DecodeDeoBytes(bytes, decoded, nullptr) == TripReadError::None;
  const bool reads = ApplyDeoBytes(bytes);
  FUZZ_CHECK(decodes == reads);
  // The file readers read the records straight into their buffers, in
  // pieces: the same trip, or the same refusal, as the decoder.
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("tavlog_fuzz_" + std::to_string(::getpid()) + ".DEO");
  {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    FUZZ_CHECK(f != nullptr && std::fwrite(data, 1, size, f) == size);
    std::fclose(f);
  }
  TripFileData from_file;
  FUZZ_CHECK((ReadTripFile(file, from_file, nullptr) == TripReadError::None) == decodes);
  if (decodes) {  // bytes compared: a header may hold NaN
    FUZZ_CHECK(from_file.Samples.size() == decoded.Samples.size());
    FUZZ_CHECK(std::memcmp(from_file.Samples.data(), decoded.Samples.data(),
                           decoded.Samples.size() * sizeof(TripSample)) == 0);
    FUZZ_CHECK(std::memcmp(from_file.ZoneBlock, decoded.ZoneBlock, sizeof decoded.ZoneBlock) == 0);
    FUZZ_CHECK(from_file.Note == decoded.Note && from_file.HasScales == decoded.HasScales);
  }
  if (!reads) return 0;
  const int count = TripSampleCount;
  FUZZ_CHECK(count == decoded.Count());
  FUZZ_CHECK(SampleInterval >= 1 && SampleInterval <= kMaxSampleInterval);
  for (int i = 0; i < kScaleWords; ++i) FUZZ_CHECK(std::isfinite(ScaleMax[i]));

  CurrentTripSlot = 1;
  EvaluateTrip();
  CheckSummary(TripSummaryTable[1]);
  FUZZ_CHECK(TripDistributionTable[1].Data.TotalTime >= 0);
  WholeTripEvaluation = true;
  EvaluateSection(0, 0);
  for (float m : SectionMeans) FUZZ_CHECK(std::isfinite(m));
  for (const std::string& line : SummaryLines)
    FUZZ_CHECK(line.find("nan") == std::string::npos && line.find("inf") == std::string::npos);
  EvaluateSection(count / 3, count / 2);
  for (float m : SectionMeans) FUZZ_CHECK(std::isfinite(m));

  for (int level : {0, 9}) {
    for (int& l : SmoothLevel) l = level;
    SmoothChannelPower();
    SmoothChannelCadence();
    SmoothChannelSpeed();
    SmoothChannelHeartRate();
    SmoothChannelAltitude();
    PrepareAltitudeSeries();
    for (int i = 1; i < count; ++i)
      for (float v : TripSmooth[i]) FUZZ_CHECK(std::isfinite(v));
  }

  const RecordRange range = ShowableTrip(count);
  const std::vector<float> grade = GradeSeries(TripSamples, count, kGradeWindows[0]);
  for (int channel = 0; channel < kViewChannels; ++channel) {
    const ChannelSeries series = BuildChannelSeries(TripSamples, count, range, channel, grade,
                                                    ChannelUnitOf(channel, kUnitMiles));
    FUZZ_CHECK(std::isfinite(series.y_min) && std::isfinite(series.y_max));
    for (double x : series.x) FUZZ_CHECK(std::isfinite(x));
  }
  (void)TripCsvText(TripSamples, count, ';', ',');
  return 0;
}
