#include "core/trip_types.h"

#include <algorithm>

namespace tav {

void TripSummary::Store(unsigned char* out) const {
  le::PutI32(out + 0, TotalTime);
  le::PutI32(out + 4, ClimbTime);
  le::PutF32(out + 8, Distance);
  le::PutF32(out + 12, ClimbDistance);
  le::PutF32(out + 16, Ascent);
  le::PutF32(out + 20, MaxAltitude);
  le::PutF32(out + 24, MinAltitude);
  le::PutF32(out + 28, MeanPowerAll);
  le::PutF32(out + 32, MeanPowerNonZero);
  le::PutF32(out + 36, ClimbPower);
  le::PutF32(out + 40, MaxPower);
  le::PutF32(out + 44, NP);
  le::PutF32(out + 48, IF);
  le::PutF32(out + 52, TSS);
  le::PutF32(out + 56, Work);
  le::PutF32(out + 60, MeanHeartRate);
  le::PutF32(out + 64, MaxHeartRate);
  le::PutF32(out + 68, MeanCadence);
  le::PutF32(out + 72, MaxCadence);
  le::PutF32(out + 76, MeanSpeed);
  le::PutF32(out + 80, MaxSpeed);
  le::PutF32(out + 84, MeanTemperature);
  le::PutI32(out + 88, PowerTime);
  le::PutF32(out + 92, Weight);
  for (int i = 0; i < 3; ++i) le::PutF32(out + 96 + 4 * i, Reserved[i]);
}

TripSummary TripSummary::Load(const unsigned char* in) {
  TripSummary s;
  s.TotalTime = le::GetI32(in + 0);
  s.ClimbTime = le::GetI32(in + 4);
  s.Distance = le::GetF32(in + 8);
  s.ClimbDistance = le::GetF32(in + 12);
  s.Ascent = le::GetF32(in + 16);
  s.MaxAltitude = le::GetF32(in + 20);
  s.MinAltitude = le::GetF32(in + 24);
  s.MeanPowerAll = le::GetF32(in + 28);
  s.MeanPowerNonZero = le::GetF32(in + 32);
  s.ClimbPower = le::GetF32(in + 36);
  s.MaxPower = le::GetF32(in + 40);
  s.NP = le::GetF32(in + 44);
  s.IF = le::GetF32(in + 48);
  s.TSS = le::GetF32(in + 52);
  s.Work = le::GetF32(in + 56);
  s.MeanHeartRate = le::GetF32(in + 60);
  s.MaxHeartRate = le::GetF32(in + 64);
  s.MeanCadence = le::GetF32(in + 68);
  s.MaxCadence = le::GetF32(in + 72);
  s.MeanSpeed = le::GetF32(in + 76);
  s.MaxSpeed = le::GetF32(in + 80);
  s.MeanTemperature = le::GetF32(in + 84);
  s.PowerTime = le::GetI32(in + 88);
  s.Weight = le::GetF32(in + 92);
  for (int i = 0; i < 3; ++i) s.Reserved[i] = le::GetF32(in + 96 + 4 * i);
  return s;
}

void TripZoneTimes::Store(unsigned char* out) const {
  for (int i = 0; i < 10; ++i) le::PutU32(out + 4 * i, Seconds[i]);
  for (int i = 0; i < 6; ++i) le::PutU32(out + 40 + 4 * i, Reserved40[i]);
  out[64] = ZoneSet;
  out[65] = Pad65[0];
  out[66] = Pad65[1];
  out[67] = Pad65[2];
  le::PutI32(out + 68, SampleInterval);
  le::PutI32(out + 72, RecordCount);
  le::PutI32(out + 76, Mark);
}

TripZoneTimes TripZoneTimes::Load(const unsigned char* in) {
  TripZoneTimes z;
  for (int i = 0; i < 10; ++i) z.Seconds[i] = le::GetU32(in + 4 * i);
  for (int i = 0; i < 6; ++i) z.Reserved40[i] = le::GetU32(in + 40 + 4 * i);
  z.ZoneSet = in[64];
  z.Pad65[0] = in[65];
  z.Pad65[1] = in[66];
  z.Pad65[2] = in[67];
  z.SampleInterval = le::GetI32(in + 68);
  z.RecordCount = le::GetI32(in + 72);
  z.Mark = le::GetI32(in + 76);
  return z;
}

void DistributionData::Store(unsigned char* out) const {
  // Offsets here are relative to the start of the data (record offset - 4).
  unsigned char* p = out;
  le::PutI32(p, TotalTime);
  p += 4;
  for (int v : Peaks) { le::PutI32(p, v); p += 4; }
  for (int v : Further24) { le::PutI32(p, v); p += 4; }
  for (uint32_t v : HeartRateHist) { le::PutU32(p, v); p += 4; }
  for (uint32_t v : CadenceHist) { le::PutU32(p, v); p += 4; }
  for (uint32_t v : SpeedHist) { le::PutU32(p, v); p += 4; }
  for (uint32_t v : PowerHist) { le::PutU32(p, v); p += 4; }
  for (int v : Further716) { le::PutI32(p, v); p += 4; }
  for (int v : ZoneLimits) { le::PutI32(p, v); p += 4; }
}

DistributionData DistributionData::Load(const unsigned char* in) {
  DistributionData d;
  const unsigned char* p = in;
  d.TotalTime = le::GetI32(p);
  p += 4;
  for (auto& v : d.Peaks) { v = le::GetI32(p); p += 4; }
  for (auto& v : d.Further24) { v = le::GetI32(p); p += 4; }
  for (auto& v : d.HeartRateHist) { v = le::GetU32(p); p += 4; }
  for (auto& v : d.CadenceHist) { v = le::GetU32(p); p += 4; }
  for (auto& v : d.SpeedHist) { v = le::GetU32(p); p += 4; }
  for (auto& v : d.PowerHist) { v = le::GetU32(p); p += 4; }
  for (auto& v : d.Further716) { v = le::GetI32(p); p += 4; }
  for (auto& v : d.ZoneLimits) { v = le::GetI32(p); p += 4; }
  return d;
}

void DistributionData::Add(const DistributionData& o) {
  TotalTime += o.TotalTime;
  for (int i = 0; i < 4; ++i) Peaks[i] = std::max(Peaks[i], o.Peaks[i]);
  for (int i = 0; i < kHistBins; ++i) {
    HeartRateHist[i] += o.HeartRateHist[i];
    CadenceHist[i] += o.CadenceHist[i];
    SpeedHist[i] += o.SpeedHist[i];
  }
  for (int i = 0; i < kPowerHistBins; ++i) PowerHist[i] += o.PowerHist[i];
}

void TripDistribution::Store(unsigned char* out) const {
  le::PutI32(out, Mark);
  Data.Store(out + kDataOffset);
  std::copy(std::begin(Reserved), std::end(Reserved), out + kDataOffset + DistributionData::kBytes);
}

TripDistribution TripDistribution::Load(const unsigned char* in) {
  TripDistribution t;
  t.Mark = le::GetI32(in);
  t.Data = DistributionData::Load(in + kDataOffset);
  const unsigned char* r = in + kDataOffset + DistributionData::kBytes;
  std::copy(r, r + sizeof(t.Reserved), t.Reserved);
  return t;
}

void RiderRecord::Store(unsigned char* out) const {
  std::copy(std::begin(Name), std::end(Name), reinterpret_cast<char*>(out));
  le::PutF32(out + 32, Weight);
  le::PutF32(out + 36, Height);
  unsigned char* p = out + 40;
  for (const auto& bike : Bike)
    for (float v : bike) { le::PutF32(p, v); p += 4; }
  std::copy(std::begin(Options), std::end(Options), out + 100);
}

RiderRecord RiderRecord::Load(const unsigned char* in) {
  RiderRecord r;
  std::copy(in, in + 32, reinterpret_cast<unsigned char*>(r.Name));
  r.Name[31] = '\0';
  r.Weight = le::GetF32(in + 32);
  r.Height = le::GetF32(in + 36);
  const unsigned char* p = in + 40;
  for (auto& bike : r.Bike)
    for (float& v : bike) { v = le::GetF32(p); p += 4; }
  std::copy(in + 100, in + 120, r.Options);
  return r;
}

std::string RiderRecord::NameText() const {
  std::size_t n = 0;
  while (n < sizeof(Name) && Name[n] != '\0') ++n;
  return std::string(Name, n);
}

void RiderRecord::SetName(std::string_view name) {
  std::fill(std::begin(Name), std::end(Name), '\0');
  std::size_t n = std::min(name.size(), sizeof(Name) - 1);
  std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(n), Name);
}

}  // namespace tav
