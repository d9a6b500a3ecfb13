#include "core/trip_list.h"

#include <algorithm>
#include <set>

#include "core/bad_copy.h"
#include "core/core_data.h"
#include "core/trip_file.h"
#include "core/user_words.h"
#include "platform/text.h"

namespace tav {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char At(std::string_view s, std::size_t i) { return i < s.size() ? s[i] : '\0'; }
}  // namespace

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

bool TakeFreeSlot(TStringList& list, int slot) {
  const int idx = FreeSlotLineIndex(list);
  if (idx < 0) return false;
  bool taken = false;
  while (ForEachFreeSlot(list[idx], [&](int v, std::size_t begin, std::size_t end) {
    if (v != slot) return false;
    list[idx].erase(begin, end - begin);
    return true;
  }))
    taken = true;
  return taken;
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
    KeepUnreadableFile(path);
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
  int err = 0;
  if (!WriteFileAtomically(path, list.Text(), false, &err)) {
    if (error) *error = CannotWriteMessage(path, err);
    return false;
  }
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
  int err = 0;
  if (!WriteFileAtomically(FsPath(CollectionListPath), out.Text(), false, &err)) {
    std::fputs(kCannotOpenOutput, stderr);
    if (error) *error = CannotWriteMessage(FsPath(CollectionListPath), err);
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

}  // namespace tav
