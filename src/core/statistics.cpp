#include "core/statistics.h"

namespace tav {
std::vector<float> ComputeGrades(const TripSample*, int count, int) { return std::vector<float>(count > 0 ? count : 0); }
std::vector<float> SmoothedAltitude(const TripSample*, int count) { return std::vector<float>(count > 0 ? count : 0); }
bool SummarizeTrip(const TripInput&, TripSummary& out) { out = TripSummary{}; return false; }
float TripThreshold(const TripSample&) { return 100.0f; }
int EvaluateTrip() { return 0; }
void EvaluateSection(int, int) {}
SectionResult EvaluateSectionData(const TripInput&, int, int, bool) { return {}; }
TripZoneTimes CountZoneTimes(const TripSample*, int, int, const float*, int) { return {}; }
int ZoneOfValue(float, const float*) { return 0; }
void ComputeZoneTimes(TForm*, int, int, int) {}
void ClearTripDistribution(int) {}
void ComputeTripDistribution(int) {}
void ComputeDistributionData(const TripSample*, int, int, DistributionData&) {}
int HistogramBin(float, int, int, int) { return 0; }
double BestMean(const float*, int, int) { return 0; }
double BestMeanPower(const TripSample*, int, int) { return 0; }
void CountRiderZones() {}
}  // namespace tav
