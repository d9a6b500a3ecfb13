#include "core/trip_catalog.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/bad_copy.h"
#include "core/core_data.h"
#include "core/statistics.h"
#include "core/trip_database.h"
#include "core/trip_date_text.h"
#include "core/trip_file.h"
#include "core/user_words.h"
#include "platform/text.h"

namespace tav {

using namespace literals;

bool SaveTripList(const TStringList& list, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(FsPath(RiderDir), ec);
  // The statistics first: a line that takes a slot finds its values on disk
  // whenever the line is; a line that leaves the list only leaves its slot
  // unused until the list follows.
  if (!SaveTripDatabase(error)) return false;
  if (!SaveTripListFile(FsPath(TripListPath), list, error)) return false;
  TripListChanged = false;
  // An entry the journal names is saved with the list now (or was deleted
  // since): the journal has done its work.
  if (std::filesystem::exists(EntryJournalPath(), ec)) RemoveFile(EntryJournalPath());
  return true;
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
  int err = 0;
  if (WriteFileAtomically(JoinJournalPath(), tripFileName + "\n" + secondLine + "\n", false, &err)) return true;
  if (error) *error = CannotWriteMessage(JoinJournalPath(), err);
  return false;
}

bool CompleteJoin(const std::string& tripFileName, std::string* error) {
  int err = 0;
  const std::filesystem::path file = FsPath(JoinPath(RiderDir, tripFileName));
  if (!RenameFile(JoinedRecordsPath(tripFileName), file, &err)) {
    if (error) *error = CannotWriteMessage(file, err);
    return false;
  }
  SyncFolderOf(file);
  RemoveFile(JoinJournalPath());
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
      if (name.size() > 9 && name.compare(name.size() - 9, 9, ".DEO.JOIN") == 0) RemoveFile(it->path());
    }
    return true;
  }
  const std::size_t cut = text.find('\n');
  const std::string file = text.substr(0, cut);
  std::string second = cut == std::string::npos ? std::string() : text.substr(cut + 1);
  while (!second.empty() && (second.back() == '\n' || second.back() == '\r')) second.pop_back();
  if (file.empty() || file.find_first_of("/\\:") != std::string::npos || second.empty()) {
    RemoveFile(JoinJournalPath());  // a journal that names nothing
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
  RemoveFile(JoinJournalPath());  // the join was complete
  return true;
}

// ---------------------------------------------------------------------------
// Lines whose statistics are given (manual entries)
// ---------------------------------------------------------------------------

std::filesystem::path EntryJournalPath() {
  std::filesystem::path p = FsPath(TripListPath);
  p += ".ENTRY";
  return p;
}

namespace {

constexpr std::string_view kEntryJournalMark = "ENTRY 1";

// What the journal names: the slot, the line it replaces ("" for none), the
// new line and its summary.
struct EntryJournal {
  int slot = -1;
  std::string replaced, line;
  TripSummary summary;
};

std::string EncodeEntryJournal(const EntryJournal& j) {
  unsigned char raw[TripSummary::kBytes];
  j.summary.Store(raw);
  std::string hex;
  for (unsigned char b : raw) hex += Format("%02X", b);
  return std::string(kEntryJournalMark) + "\n" + std::to_string(j.slot) + "\n" + j.replaced + "\n" + j.line +
         "\n" + hex + "\n";
}

bool DecodeEntryJournal(std::string_view text, EntryJournal& j) {
  std::vector<std::string> parts;
  while (!text.empty()) {
    const std::size_t cut = text.find('\n');
    if (cut == std::string_view::npos) return false;  // every part ends with its line break
    parts.emplace_back(text.substr(0, cut));
    text.remove_prefix(cut + 1);
  }
  if (parts.size() != 5 || parts[0] != kEntryJournalMark) return false;
  const std::string& slot = parts[1];
  if (slot.empty() || slot.size() > 3 || slot.find_first_not_of("0123456789") != std::string::npos) return false;
  j.slot = std::stoi(slot);
  j.replaced = parts[2];
  j.line = parts[3];
  if (j.slot < kFirstTripSlot || j.slot > kLastTripSlot || !IsTripLine(j.line) || LineSlot(j.line) != j.slot ||
      (!j.replaced.empty() && !IsTripLine(j.replaced)) || parts[4].size() != 2 * TripSummary::kBytes)
    return false;
  unsigned char raw[TripSummary::kBytes];
  for (std::size_t i = 0; i < TripSummary::kBytes; ++i) {
    unsigned v = 0;
    for (char c : parts[4].substr(2 * i, 2)) {
      const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + static_cast<unsigned>(d);
    }
    raw[i] = static_cast<unsigned char>(v);
  }
  j.summary = TripSummary::Load(raw);
  return true;
}

// The line with the slot given and its tables: the replaced line goes, the
// slot leaves the free-slot line, the line takes its sorted place; returns
// its index.
int PutGivenLine(TStringList& list, int replace, const EntryJournal& j) {
  if (replace >= 0) list.Delete(replace);
  TakeFreeSlot(list, j.slot);
  list.SetSorted(true);
  const int index = list.Add(j.line);
  list.SetSorted(false);
  TripSummaryTable[j.slot] = j.summary;
  TripZoneTable[j.slot] = TripZoneTimes{};
  TripDistributionTable[j.slot] = TripDistribution{};
  TripCounter = std::max(TripCounter, j.slot);
  return index;
}

std::string NotCompleteText(const std::string& why) {
  return Words("Der Eintrag steht in der Liste, ist aber noch nicht ganz gespeichert: "_w + why +
                   " Er wird beim nächsten Öffnen des Fahrers vervollständigt."_w,
               "The entry is in the list but not yet saved whole: " + why +
                   " It is completed when the rider is opened next.",
               "La entrada está en la lista pero aún no se ha guardado completa: "_w + why +
                   " Se completará la próxima vez que se abra el ciclista."_w);
}

}  // namespace

StoredLine StoreGivenLine(TStringList& list, int replace, int keepSlot,
                          const std::function<std::string(int slot)>& lineOfSlot, const TripSummary& summary) {
  StoredLine r;
  if (replace >= list.Count() || IsFreeSlotListLine(list.At(replace))) replace = -1;
  std::error_code ec;
  std::filesystem::create_directories(FsPath(RiderDir), ec);
  // Earlier changes go to disk first, so the journal, the database and the
  // list below differ from what lies on disk by this line alone.
  if ((TripListChanged || TripDatabaseChanged) && !SaveTripList(list, &r.message)) return r;

  const std::vector<std::string> lines = list.Lines();
  const bool sorted = list.Sorted();
  const int counter = TripCounter, current = CurrentTripSlot;
  EntryJournal j;
  j.slot = replace >= 0 && keepSlot >= kFirstTripSlot && keepSlot <= kLastTripSlot ? keepSlot
                                                                                   : NextTripNumber(list, &r.message);
  if (j.slot < 0) {  // every slot in use: the list stays as it was, sorted mode too
    if (sorted) list.SetSorted(true);
    return r;
  }
  const TripSummary oldSummary = TripSummaryTable[j.slot];
  const TripZoneTimes oldZones = TripZoneTable[j.slot];
  const TripDistribution oldDistribution = TripDistributionTable[j.slot];
  j.replaced = replace >= 0 ? list[replace] : std::string();
  j.line = lineOfSlot(j.slot);
  j.summary = summary;
  auto put = [&] {
    r.index = PutGivenLine(list, replace, j);
    r.slot = j.slot;
    TripListChanged = TripDatabaseChanged = true;
  };
  auto undo = [&] {
    list.SetSorted(false);
    list.Assign(lines);
    if (sorted) list.SetSorted(true);
    TripCounter = counter;
    CurrentTripSlot = current;
    TripSummaryTable[j.slot] = oldSummary;
    TripZoneTable[j.slot] = oldZones;
    TripDistributionTable[j.slot] = oldDistribution;
    TripListChanged = TripDatabaseChanged = false;  // as on disk again
    r.index = r.slot = -1;
  };
  // The journal stays until the line is saved; while it is there the line
  // is completed at the next opening.
  auto keep = [&](const std::string& why) {
    put();
    r.stored = true;
    r.message = NotCompleteText(why);
    return r;
  };
  put();
  int err = 0;
  std::string why;
  if (!WriteFileAtomically(EntryJournalPath(), EncodeEntryJournal(j), false, &err)) {
    undo();
    r.message = CannotWriteMessage(EntryJournalPath(), err);
    return r;
  }
  if (!SaveTripDatabase(&why)) {
    undo();
    if (!RemoveFile(EntryJournalPath())) return keep(why);
    r.message = why;
    return r;
  }
  if (!SaveTripListFile(FsPath(TripListPath), list, &why)) {
    undo();
    // The database on disk holds the line's summary now: harmless in a slot
    // no saved line names, but a replaced line names it.
    const bool back = SaveTripDatabase();
    if (!back) TripDatabaseChanged = true;
    if ((!back && replace >= 0) || !RemoveFile(EntryJournalPath())) return keep(why);
    r.message = why;
    return r;
  }
  // A journal that stays finds its line saved and goes at the next opening.
  RemoveFile(EntryJournalPath());
  TripListChanged = TripDatabaseChanged = false;
  r.stored = true;
  return r;
}

bool FinishPendingEntry(TStringList& list, std::string* message) {
  const std::filesystem::path journal = EntryJournalPath();
  std::error_code ec;
  if (!std::filesystem::exists(journal, ec) && !std::filesystem::is_symlink(journal, ec)) return true;
  auto fail = [&](const std::string& why) {
    if (message)
      *message = Words("Ein manueller Eintrag, der beim Beenden des Programms gerade gespeichert wurde, "
                       "konnte nicht vervollständigt werden: "_w + why,
                       "A manual entry that was being stored when the program stopped could not be completed: " +
                           why,
                       "No se pudo completar una entrada manual que se estaba guardando cuando el programa se "
                       "detuvo: "_w + why);
    return false;
  };
  std::string text;
  EntryJournal j;
  if (!ReadRegularFile(journal, text) || !DecodeEntryJournal(text, j)) {
    const std::filesystem::path bad = KeepBadCopyOfFile(journal);
    RemoveFile(journal);
    const std::string name = PathText(bad.empty() ? journal : bad);
    return fail(Words("die Datei "_w + name + " ist beschädigt.", "the file " + name + " is damaged.",
                      "el archivo "_w + name + " está dañado."));
  }
  if (list.IndexOf(j.line) >= 0) {  // saved whole before the program stopped
    RemoveFile(journal);
    return true;
  }
  for (const std::string& other : list)
    if (!IsFreeSlotListLine(other) && other != j.replaced && LineSlot(other) == j.slot) {
      RemoveFile(journal);
      return fail(Words(Format("sein Platz %i gehört einer anderen Zeile.", j.slot),
                        Format("its slot %i belongs to another line.", j.slot),
                        Format("su posición %i pertenece a otra línea."_w.c_str(), j.slot)));
    }
  const int replace = j.replaced.empty() ? -1 : list.IndexOf(j.replaced);
  PutGivenLine(list, replace, j);
  TripListChanged = TripDatabaseChanged = true;
  std::string why;
  if (!SaveTripList(list, &why)) return fail(why);  // the journal stays for the next opening
  RemoveFile(journal);
  return true;
}

bool SlotHoldsManualEntry(std::string_view line, const TripSummary& s) {
  int y = 0, m = 0, d = 0, h = 0, mi = 0, sec = 0;
  if (!LineDate(line, y, m, d) || !LineTime(line, h, mi, sec)) return false;
  // The other program's diary sort sets an entry's speed fields to 0 in the
  // saved table; such a slot still holds the entry when its date is left, or
  // when both are 0 and the entry's own time is there.
  const bool dated = s.MaxSpeed == static_cast<float>(DateValue(y, m, d));
  if (s.MeanSpeed == 0.0f && (dated || (s.MaxSpeed == 0.0f && s.TotalTime > 0))) return true;
  if (!dated) return false;
  const double t = s.MeanSpeed;
  if (!std::isfinite(t) || t < 0.0) return false;
  const double key = (h * 60 + mi) / 1440.0, second = 1.0 / 86400.0;
  const double part = t - std::floor(t);
  // The start time of day as typed lies within the key's minute.
  if (t < 1.0) return part >= key - second && part < key + 61.0 * second;
  // A whole date-time value in a float is good to a few minutes.
  double apart = std::fabs(part - (key + 30.0 * second));
  apart = std::min(apart, 1.0 - apart);
  return apart < 0.004;
}

int MarkForeignManualSlots(TStringList& list, std::string* message) {
  std::vector<std::string> dates;
  for (int i = 0; i < list.Count(); ++i) {
    const std::string line = list[i];
    const std::optional<int> slot = LineSlot(line);
    if (!IsManualEntryKeyLine(line) || !IsTripLine(line) || LineHasPF(line) || !slot ||
        *slot < kFirstTripSlot || *slot > kLastTripSlot || SlotHoldsManualEntry(line, TripSummaryTable[*slot]))
      continue;
    bool shared = false;
    for (int k = 0; k < list.Count() && !shared; ++k)
      shared = k != i && !IsFreeSlotListLine(list[k]) && LineSlot(list[k]) == slot;
    // A slot another line uses keeps that line's values; the entry takes a free one.
    const int target = shared ? NextTripNumber(list) : *slot;
    const std::size_t semi = line.find(';');
    const std::size_t digits = line.find_first_not_of("0123456789", semi + 1);
    list[i] = line.substr(0, semi + 1) + Format("%03i", target >= 0 ? target : *slot) + "PF" +
              (digits == std::string::npos ? std::string() : line.substr(digits));
    if (target >= 0) {
      TripSummaryTable[target] = TripSummary{};
      TripZoneTable[target] = TripZoneTimes{};
      TripDistributionTable[target] = TripDistribution{};
    }
    dates.push_back(FormatTripDateTime(line));
  }
  const int n = static_cast<int>(dates.size());
  if (n == 0) return 0;
  TripListChanged = TripDatabaseChanged = true;
  if (message) {
    std::string named;
    for (int k = 0; k < n && k < 10; ++k) named += (k ? ", " : "") + dates[static_cast<std::size_t>(k)];
    if (n > 10) named += ", ...";
    const std::string db = TripDatabasePath;
    *message = Words(
        Format("Die Fahrtendatenbank %s enthält die Werte von %i manuellen Eintr%s nicht (%s): Zeit, Strecke, "
               "Puls und Temperatur bleiben leer, bis sie neu eingegeben werden."_w.c_str(),
               db.c_str(), n, n == 1 ? "ag" : "\xE4gen", named.c_str()),
        Format("The trip database %s does not hold the values of %i manual entr%s (%s): their time, distance, "
               "heart rate and temperature stay empty until they are typed again.",
               db.c_str(), n, n == 1 ? "y" : "ies", named.c_str()),
        Format("La base de datos de recorridos %s no contiene los valores de %i entrada%s manual%s (%s): su "
               "tiempo, distancia, pulso y temperatura quedan vacíos hasta que se vuelvan a introducir."_w.c_str(),
               db.c_str(), n, n == 1 ? "" : "s", n == 1 ? "" : "es", named.c_str()));
  }
  return n;
}

int RemoveLeftTemporaryFilesOfRider() {
  int removed = 0;
  for (const std::string& folder : {RiderDir, SettingsDir, CollectionDir})
    if (!folder.empty()) removed += RemoveLeftTemporaryFiles(FsPath(folder));
  return removed;
}

// ---------------------------------------------------------------------------
// Filing a trip
// ---------------------------------------------------------------------------

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

  // Earlier changes go to disk first: the slot the trip takes is then one
  // no saved line names, whatever step of the saves below a crash stops.
  if ((TripListChanged || TripDatabaseChanged) && !SaveTripList(list, error)) return false;
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
