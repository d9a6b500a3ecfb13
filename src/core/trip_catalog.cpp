#include "core/trip_catalog.h"

#include <algorithm>
#include <optional>

#include "core/core_data.h"
#include "core/statistics.h"
#include "core/trip_database.h"
#include "core/trip_file.h"
#include "platform/text.h"

namespace tav {

bool SaveTripList(const TStringList& list, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(FsPath(RiderDir), ec);
  bool ok = SaveTripListFile(FsPath(TripListPath), list, error);
  std::string dbError;
  bool dbOk = SaveTripDatabase(&dbError);
  if (!dbOk && error) *error = error->empty() ? dbError : *error + " " + dbError;
  if (ok && dbOk) TripListChanged = false;
  return ok && dbOk;
}

std::filesystem::path JoinJournalPath() {
  std::filesystem::path p = FsPath(TripListPath);
  p += ".JOIN";
  return p;
}

namespace {
std::filesystem::path JoinedRecordsPath(const std::string& tripFileName) {
  std::filesystem::path p = FsPath(JoinPath(RiderDir, tripFileName));
  p += ".JOIN";
  return p;
}
}  // namespace

bool WriteJoinJournal(const std::string& tripFileName, const std::string& secondLine, std::string* error) {
  if (WriteFileAtomically(JoinJournalPath(), tripFileName + "\n" + secondLine + "\n")) return true;
  if (error) *error = "Cannot write the join journal " + PathText(JoinJournalPath()) + ".";
  return false;
}

bool CompleteJoin(const std::string& tripFileName, std::string* error) {
  std::error_code ec;
  std::filesystem::rename(JoinedRecordsPath(tripFileName), FsPath(JoinPath(RiderDir, tripFileName)), ec);
  if (ec) {
    if (error) *error = "Cannot write the trip file " + JoinPath(RiderDir, tripFileName) + ".";
    return false;
  }
  std::filesystem::remove(JoinJournalPath(), ec);
  return true;
}

bool FinishPendingJoin(TStringList& list, std::string* message) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string text;
  if (!ReadWholeFile(JoinJournalPath(), text)) {
    // No journal: joined records of a join that never reached its journal.
    for (fs::directory_iterator it(FsPath(RiderDir), ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = PathText(it->path().filename());
      if (name.size() > 9 && name.compare(name.size() - 9, 9, ".DEO.JOIN") == 0) fs::remove(it->path(), ec);
    }
    return true;
  }
  const std::size_t cut = text.find('\n');
  const std::string file = text.substr(0, cut);
  std::string second = cut == std::string::npos ? std::string() : text.substr(cut + 1);
  while (!second.empty() && (second.back() == '\n' || second.back() == '\r')) second.pop_back();
  if (file.empty() || file.find_first_of("/\\:") != std::string::npos || second.empty()) {
    fs::remove(JoinJournalPath(), ec);  // a journal that names nothing
    return true;
  }
  if (fs::exists(JoinedRecordsPath(file), ec)) {
    const int at = list.IndexOf(second);
    if (at >= 0) {
      list.SetSorted(false);
      list.Delete(at);
    }
    for (int i = 0; i < list.Count(); ++i) {
      const std::string path = TripPathOfLine(list[i]);
      if (path.empty() || FsPath(path).filename() != FsPath(file)) continue;
      if (const std::optional<int> slot = LineSlot(list[i]); slot && IsTableSlot(*slot))
        TripSummaryTable[*slot].TotalTime = 0;  // recomputed from the joined file
    }
    std::string error;
    if (!SaveTripList(list, &error) || !CompleteJoin(file, &error)) {
      if (message) *message = "A join of two trips could not be finished: " + error;
      return false;
    }
    return true;
  }
  fs::remove(JoinJournalPath(), ec);  // the join was complete
  return true;
}

bool StoreNewTrip(TStringList& list, std::string_view key, std::string_view comment,
                  std::string* error) {
  if (TripSampleCount < kMinTripRecords || TripSampleCount >= kMaxTripRecords) {
    if (error) *error = "The trip has too few records to be filed.";
    return false;
  }
  if (key.size() < 16 || key.find_first_of(";/\\:*") != std::string_view::npos ||
      key.find("..") != std::string_view::npos) {
    if (error) *error = "The trip name is not valid.";
    return false;
  }
  TripSample& h = TripSamples[0];
  int sport = LineSportDigit(key);
  if (sport < 0 || sport > 2) sport = HeaderSport(h);
  HeaderSport(h) = static_cast<int8_t>(sport);
  int rider = std::clamp<int>(CurrentRider, 0, kRiderCount - 1);
  int row = sport == kSportBikeHeartRate ? kZoneRowBikeHeartRate
            : sport == kSportRun         ? kZoneRowRun
                                         : kZoneRowPower;
  if (!(HeaderThreshold(h) > 0.0f)) HeaderThreshold(h) = RiderThresholdOrDefault(row);
  if (!(HeaderHrThreshold(h) > 0.0f))
    HeaderHrThreshold(h) = static_cast<float>(RiderZones[rider][kZoneRowBikeHeartRate][0]);
  if (!(HeaderRunThreshold(h) > 0.0f))
    HeaderRunThreshold(h) = static_cast<float>(RiderZones[rider][kZoneRowRun][0]);
  if (!(HeaderWeightX10(h) > 0.0f)) HeaderWeightX10(h) = RiderTable[rider].Weight * 10.0f;
  if (!ZoneBlockValid(TripZoneBlock)) BuildZoneBlockFromRider(h, TripZoneBlock);
  SampleInterval = RecordInterval(TripSamples, TripSampleCount);

  int slot = NextTripNumber(list, error);
  if (slot < 0) return false;
  std::error_code ec;
  std::filesystem::create_directories(FsPath(RiderDir), ec);
  std::string path = JoinPath(RiderDir, std::string(key) + ".DEO");
  std::string text(1, '*');
  text.append(comment.empty() ? SportComment(sport) : std::string(comment));
  TripNote = text;
  TripNotePresent = true;
  if (!WriteDeoFile(FsPath(path), error)) {
    AddFreeSlot(list, slot);
    return false;
  }
  CurrentTripPath = path;
  list.SetSorted(true);
  // The free-slot line sorts after every dated line ("E" > digits).
  list.Add(std::string(key) + ";" + Format("%03i", slot) + ";" + text);
  CurrentSport = static_cast<int8_t>(sport);
  EvaluateTrip();
  BuildTripDateIndex(list);
  TripListChanged = true;
  return SaveTripList(list, error);
}

}  // namespace tav
