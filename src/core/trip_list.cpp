#include "core/trip_list.h"

#include <algorithm>
#include <set>

#include "core/bad_copy.h"
#include "core/core_data.h"
#include "core/statistics.h"
#include "core/trip_database.h"
#include "core/trip_file.h"
#include "platform/text.h"

namespace tav {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char At(std::string_view s, std::size_t i) { return i < s.size() ? s[i] : '\0'; }
// Value of `n` digits at `pos`, -1 when any is missing or no digit.
int Digits(std::string_view s, std::size_t pos, std::size_t n) {
  if (pos + n > s.size()) return -1;
  int v = 0;
  for (std::size_t i = pos; i < pos + n; ++i) {
    if (!IsDigit(s[i])) return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}
}  // namespace

std::string_view LineKey(std::string_view line) {
  std::size_t p = line.find(';');
  return p == std::string_view::npos ? line : line.substr(0, p);
}

bool LineHasSemicolon(std::string_view line) { return line.find(';') != std::string_view::npos; }

bool IsFreeSlotListLine(std::string_view line) { return line.size() >= 2 && line[0] == 'E' && line[1] == 'R'; }

bool IsManualLine(std::string_view line) { return At(line, 13) == 'N' || At(line, 14) == 'R'; }

int LineSportDigit(std::string_view line) {
  char c = At(line, 15);
  return IsDigit(c) ? c - '0' : -1;
}

bool ValidDate(int year, int month, int day) {
  if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int dim = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= dim;
}

bool LineDate(std::string_view line, int& year, int& month, int& day) {
  int y = Digits(line, 0, 4), m = Digits(line, 4, 2), d = Digits(line, 6, 2);
  if (y < 0 || m < 0 || d < 0 || !ValidDate(y, m, d)) return false;
  year = y;
  month = m;
  day = d;
  return true;
}

bool LineTime(std::string_view line, int& hour, int& minute, int& second) {
  int h = Digits(line, 9, 2), mi = Digits(line, 11, 2);
  if (h < 0 || mi < 0 || h > 23 || mi > 59) return false;
  int s = 0;
  if (!IsManualLine(line)) {
    s = Digits(line, 13, 2);
    if (s < 0 || s > 59) return false;
  }
  hour = h;
  minute = mi;
  second = s;
  return true;
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
static int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

static constexpr int64_t kEpochOffset = 25569;  // 1970-01-01 as a date value

int32_t DateValue(int year, int month, int day) {
  return static_cast<int32_t>(DaysFromCivil(year, month, day) + kEpochOffset);
}

void DateOfValue(int32_t value, int& year, int& month, int& day) {
  int64_t z = static_cast<int64_t>(value) - kEpochOffset + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(y + (m <= 2));
  month = static_cast<int>(m);
  day = static_cast<int>(d);
}

int IsoWeekday(int32_t value) {
  // 30 Dec 1899 (value 0) was a Saturday.
  int64_t w = (static_cast<int64_t>(value) + 5) % 7;  // 0 = Monday
  if (w < 0) w += 7;
  return static_cast<int>(w) + 1;
}

int32_t LineDateValue(std::string_view line) {
  int y, m, d;
  if (!LineDate(line, y, m, d)) return 0;
  return DateValue(y, m, d);
}

namespace {
// Position of the first digit of the slot and the number of its digits.
bool SlotDigits(std::string_view line, std::size_t& pos, std::size_t& n) {
  std::size_t p = line.find(';');
  if (p == std::string_view::npos) return false;
  pos = p + 1;
  n = 0;
  while (pos + n < line.size() && IsDigit(line[pos + n]) && n < 9) ++n;
  return n > 0;
}
}  // namespace

std::optional<int> LineSlot(std::string_view line) {
  std::size_t pos, n;
  if (!SlotDigits(line, pos, n)) return std::nullopt;
  int v = 0;
  for (std::size_t i = 0; i < n; ++i) v = v * 10 + (line[pos + i] - '0');
  return v;
}

std::optional<int> LineTableSlot(std::string_view line) {
  auto s = LineSlot(line);
  if (!s || !IsTableSlot(*s)) return std::nullopt;
  return s;
}

bool LineHasPF(std::string_view line) {
  std::size_t pos, n;
  if (!SlotDigits(line, pos, n)) return false;
  return At(line, pos + n) == 'P' && At(line, pos + n + 1) == 'F';
}

bool ClearLinePF(std::string& line) {
  std::size_t pos, n;
  if (!SlotDigits(line, pos, n)) return false;
  if (At(line, pos + n) != 'P' || At(line, pos + n + 1) != 'F') return false;
  line[pos + n] = '_';
  line[pos + n + 1] = '_';
  return true;
}

std::string LineComment(std::string_view line) {
  std::size_t p = line.find('*');
  if (p == std::string_view::npos) return {};
  std::string_view rest = line.substr(p + 1);
  std::size_t bar = rest.find('|');
  return std::string(bar == std::string_view::npos ? rest : rest.substr(0, bar));
}

std::string LineTail(std::string_view line) {
  std::size_t p = line.find('*');
  if (p == std::string_view::npos) return {};
  return std::string(line.substr(p + 1));
}

std::string LineSecondRemark(std::string_view line) {
  std::size_t p = line.find(kSecondRemarkMark);
  if (p == std::string_view::npos) return {};
  return std::string(line.substr(p + kSecondRemarkMark.size()));
}

bool IsTripLine(std::string_view line) {
  if (line.size() < 16 || !LineHasSemicolon(line) || IsFreeSlotListLine(line)) return false;
  std::string_view key = LineKey(line);
  if (key.size() < 16 || key.find_first_of("/\\:") != std::string_view::npos ||
      key.find("..") != std::string_view::npos)
    return false;
  int y, m, d;
  if (!LineDate(line, y, m, d)) return false;
  if (line[8] != '_') return false;
  return LineSlot(line).has_value();
}

// ---------------------------------------------------------------------------
// Free slots
// ---------------------------------------------------------------------------

namespace {
// Calls fn(slot, begin, end) for each well-formed entry of a free-slot line;
// [begin, end) spans the entry and its ';'. Returns true when fn did.
template <class Fn>
bool ForEachFreeSlot(std::string_view line, Fn fn) {
  if (!IsFreeSlotListLine(line)) return false;
  const std::size_t colon = line.find(':');
  std::size_t pos = colon == std::string_view::npos ? 2 : colon + 1;
  while (pos < line.size()) {
    const std::size_t semi = line.find(';', pos);
    const std::size_t end = semi == std::string_view::npos ? line.size() : semi + 1;
    std::string_view item = line.substr(pos, (semi == std::string_view::npos ? line.size() : semi) - pos);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    // Nine digits at most: longer entries are no slot (and would not fit an int).
    bool ok = !item.empty() && item.size() <= 9;
    int v = 0;
    for (std::size_t i = 0; ok && i < item.size(); ++i) {
      if (!IsDigit(item[i])) ok = false;
      else v = v * 10 + (item[i] - '0');
    }
    if (ok && fn(v, pos, end)) return true;
    pos = end;
  }
  return false;
}
}  // namespace

std::vector<int> ParseFreeSlots(std::string_view line) {
  std::vector<int> out;
  ForEachFreeSlot(line, [&](int v, std::size_t, std::size_t) {
    out.push_back(v);
    return false;
  });
  return out;
}

int FreeSlotLineIndex(const TStringList& list) {
  for (int i = list.Count() - 1; i >= 0; --i)
    if (IsFreeSlotListLine(list[i])) return i;
  return -1;
}

void AddFreeSlot(TStringList& list, int slot) {
  int idx = FreeSlotLineIndex(list);
  if (idx < 0) {
    bool sorted = list.Sorted();
    list.SetSorted(false);
    list.Add(std::string(kFreeSlotPrefix));
    list.SetSorted(sorted);
    idx = FreeSlotLineIndex(list);
    if (idx < 0) return;
  }
  list[idx] += std::to_string(slot) + ";";
}

int HighestSlotInUse(const TStringList& list) {
  int best = 0;
  for (const std::string& line : list) {
    if (IsFreeSlotListLine(line)) continue;
    auto s = LineSlot(line);
    if (s && *s < kTripSlots && *s > best && *s != kNoSlot) best = *s;
  }
  return best;
}

int NextTripNumber(TStringList& list, std::string* error) {
  list.SetSorted(false);
  std::set<int> used;
  for (const std::string& line : list) {
    if (IsFreeSlotListLine(line)) continue;
    auto s = LineSlot(line);
    if (s) used.insert(*s);
  }
  auto usable = [&](int s) { return s >= kFirstTripSlot && s <= kLastTripSlot && !used.count(s); };

  // The first usable entry of the free-slot line is taken out of it; every
  // other byte of the line stays as it was (entries that cannot be handed
  // out are passed over).
  const int freeIdx = FreeSlotLineIndex(list);
  if (freeIdx >= 0) {
    std::string& line = list[freeIdx];
    int chosen = -1;
    ForEachFreeSlot(line, [&](int v, std::size_t begin, std::size_t end) {
      if (!usable(v)) return false;
      chosen = v;
      line.erase(begin, end - begin);
      return true;
    });
    if (chosen >= 0) {
      CurrentTripSlot = chosen;
      TripCounter = std::max(TripCounter, chosen);
      return chosen;
    }
  }
  int highest = std::max(TripCounter, HighestSlotInUse(list));
  int next = highest + 1;
  if (!usable(next)) {
    next = -1;
    for (int s = kFirstTripSlot; s <= kLastTripSlot; ++s)
      if (usable(s)) { next = s; break; }
  }
  if (next < 0) {
    if (error)
      *error = Format("All %i statistics slots are in use. Delete trips in the diary to free some.",
                      kLastTripSlot);
    return -1;
  }
  CurrentTripSlot = next;
  TripCounter = std::max(highest, next);
  if (TripCounter > kLastTripSlot) TripCounter = kLastTripSlot;
  return next;
}

// ---------------------------------------------------------------------------
// Date index
// ---------------------------------------------------------------------------

void BuildTripDateIndex(const TStringList& list) {
  TripDates.clear();
  TripDates.reserve(static_cast<std::size_t>(list.Count()));
  TripFirstDate = 0;
  TripLastDate = 0;
  for (const std::string& line : list) {
    TripDateEntry e;
    e.Date = LineDateValue(line);
    int sport = LineSportDigit(line);
    e.Sport = sport < 0 ? 0 : sport;
    auto slot = LineSlot(line);
    e.Slot = (IsManualLine(line) || !slot) ? 0 : *slot;
    TripDates.push_back(e);
    if (e.Date != 0) {
      if (TripFirstDate == 0) TripFirstDate = e.Date;
      TripLastDate = e.Date;
    }
  }
}

void BuildTripDateIndex() { BuildTripDateIndex(TripList); }

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

TripListDamage ParseTripList(std::string_view text, TStringList& list) {
  TripListDamage damage;
  TStringList raw;
  raw.SetText(text);
  // Every line ends with its line break; a last line without one was cut.
  damage.LastLineCut = !text.empty() && text.back() != '\n' && text.back() != '\r';
  std::vector<std::string> good;
  std::string freeLine;
  for (int i = 0; i < raw.Count(); ++i) {
    std::string line = raw[i];
    const bool cut = damage.LastLineCut && i == raw.Count() - 1;
    if (line.empty()) continue;
    if (IsFreeSlotListLine(line)) {
      // Of a cut free-slot line the entries ended by ';' are whole.
      if (cut) line.erase(line.find_last_of(";:") == std::string::npos ? 2 : line.find_last_of(";:") + 1);
      if (freeLine.empty()) freeLine = line;
      else freeLine += line.substr(std::min(line.size(), line.find(':') == std::string::npos
                                                               ? std::size_t{2}
                                                               : line.find(':') + 1));
      continue;
    }
    if (cut || !IsTripLine(line)) {
      ++damage.DroppedLines;
      continue;
    }
    good.push_back(std::move(line));
  }
  if (freeLine.empty()) {
    damage.FreeSlotLineMissing = !text.empty();
    freeLine = std::string(kFreeSlotPrefix);
  }
  good.push_back(freeLine);
  list.SetSorted(false);
  list.Assign(std::move(good));
  return damage;
}

int UnlistedTripFiles(const std::filesystem::path& folder, const TStringList& list) {
  std::set<std::string> named;
  for (const std::string& line : list)
    if (!IsFreeSlotListLine(line)) named.insert(UpperCp1252(LineKey(line)));
  int count = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_regular_file(e2)) continue;
    const std::filesystem::path& p = it->path();
    if (UpperCp1252(PathText(p.extension())) == ".DEO" && !named.count(UpperCp1252(PathText(p.stem()))))
      ++count;
  }
  return count;
}

bool LoadTripListFile(const std::filesystem::path& path, TStringList& list, std::string* message) {
  std::string bytes;
  if (std::filesystem::exists(path) && !ReadRegularFile(path, bytes)) {
    if (message) *message = "Cannot read the trip list " + PathText(path) + ".";
    list.Clear();
    list.SetSorted(false);
    list.Add(std::string(kFreeSlotPrefix));
    return false;
  }
  const TripListDamage damage = ParseTripList(bytes, list);
  if (damage.Damaged()) {
    const std::filesystem::path bad = KeepBadCopy(path, bytes);
    if (message) {
      std::string text = "The trip list " + PathText(path) + " is damaged:";
      if (damage.LastLineCut) text += " its last line was cut off;";
      if (damage.FreeSlotLineMissing) text += " its free-slot line is missing;";
      if (damage.DroppedLines > 0)
        text += Format(" %i line(s) that name no trip were left out;", damage.DroppedLines);
      text += Format(" %i trip file(s) in the rider's folder are named by no line.",
                     UnlistedTripFiles(path.parent_path(), list));
      if (!bad.empty()) text += " The original list was kept as " + PathText(bad) + ".";
      else text += " No .BAD copy of it could be kept, so it will not be written over.";
      *message = text;
    }
  }
  return true;
}

bool LoadTripList(TStringList& list, std::string* message) {
  return LoadTripListFile(FsPath(TripListPath), list, message);
}

bool SaveTripListFile(const std::filesystem::path& path, const TStringList& list,
                      std::string* error) {
  if (!MayReplace(path)) {
    if (error) *error = RefusedOverwriteMessage(path);
    return false;
  }
  if (!list.SaveToFile(path)) {
    if (error) *error = "Cannot write the trip list " + PathText(path) + ".";
    return false;
  }
  return true;
}

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

bool WriteCollectionList(const TStringList& selected, std::string* error) {
  TStringList out;
  for (const std::string& line : selected) {
    if (!LineHasSemicolon(line) || IsFreeSlotListLine(line)) continue;
    auto slot = LineSlot(line);
    if (!slot) continue;
    out.Add(std::string(LineKey(line)) + ";" + Format("%03i", *slot) + "PF;");
  }
  std::error_code ec;
  std::filesystem::create_directories(FsPath(CollectionDir), ec);
  if (!out.SaveToFile(FsPath(CollectionListPath))) {
    std::fputs(kCannotOpenOutput, stderr);
    if (error) *error = "Cannot write the collection list " + CollectionListPath + ".";
    return false;
  }
  return true;
}

bool WriteCollectionList(std::string* error) { return WriteCollectionList(SelectedTrips, error); }

std::vector<std::string> ListTripFilePaths(const TStringList& selected) {
  std::vector<std::string> out;
  for (const std::string& line : selected) {
    if (At(line, 13) == 'N' && At(line, 14) == 'R') continue;
    std::string path = TripPathOfLine(line);
    if (path.empty()) continue;
    std::error_code ec;
    if (std::filesystem::is_regular_file(FsPath(path), ec)) out.push_back(path);
  }
  return out;
}

std::string SportComment(int sport) {
  switch (sport) {
    case kSportBikePower: return "BIKE POWER";
    case kSportBikeHeartRate: return "BIKE HR";
    default: return "RUN";
  }
}

std::string MakeTripKey(int year, int month, int day, int hour, int minute, int second, int sport,
                        std::string_view rest) {
  return Format("%04i%02i%02i_%02i%02i%02i%i_", year, month, day, hour, minute, second,
                std::clamp(sport, 0, 9)) +
         std::string(rest);
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
