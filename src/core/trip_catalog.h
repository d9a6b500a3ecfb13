// A rider's trips as a whole: the trip list kept in step with the trip
// database and the trip files. Saving the list saves the database with it;
// filing a new trip writes its file, gives it a line and evaluates its slot;
// a join of two trips and a stored manual entry are carried through the
// list, the database and the files so that they survive a crash.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/trip_list.h"
#include "core/trip_types.h"
#include "platform/strings.h"  // TStringList

namespace tav {

// Saves the trip database to TripDatabasePath, then the list to
// TripListPath, so no saved line names a slot whose statistics are not on
// disk yet; the list is not written when the database could not be.
// Clears TripListChanged when both were written (and removes an entry
// journal, whose line is saved with them); `error` names the file that
// could not be written and why.
bool SaveTripList(const TStringList& list, std::string* error = nullptr);

// Joining two trips keeps the folder consistent across a crash: the joined
// records wait in "<trip 1's file>.JOIN", the journal "<trip list>.JOIN"
// names trip 1's file and trip 2's list line, then the list is saved
// without trip 2 and the joined records take trip 1's file.
std::filesystem::path JoinJournalPath();
// Writes the journal (trip 1's file name, trip 2's line) in one step.
bool WriteJoinJournal(const std::string& tripFileName, const std::string& secondLine,
                      std::string* error = nullptr);
// After the list without trip 2 was saved: the joined records take trip 1's
// file and the journal goes.
bool CompleteJoin(const std::string& tripFileName, std::string* error = nullptr);
// On loading a rider: a join the journal names is finished (trip 2's line
// leaves the list, trip 1's slot is marked for recomputing, the list is
// saved, the joined records take trip 1's file); joined records left
// without a journal are removed. False with a message when it could not be
// finished; the journal then stays for the next load.
bool FinishPendingJoin(TStringList& list, std::string* message = nullptr);

// A list line whose statistics are typed rather than computed (a manual
// entry), stored at once and whole. Changes not saved yet are saved first;
// then the line replaces line `replace` (-1: none) in slot `keepSlot` (-1:
// NextTripNumber picks one), `lineOfSlot` giving its text for the slot, and
// the slot's summary becomes `summary` (its zone and distribution records
// are cleared). The journal "<trip list>.ENTRY" (slot, replaced line, new
// line, summary) is written, then the trip database, then the list, and
// the journal is removed: after a crash at any step the next opening of the
// rider finds the old line or the new one whole (FinishPendingEntry).
struct StoredLine {
  bool stored = false;  // the line is in the list (and its summary in the table)
  int index = -1;       // its index in the list
  int slot = -1;
  // Why nothing was stored: the file that could not be written and why.
  // When `stored` is set with a message, the line is in the list but not yet
  // on disk whole: the journal completes it at the next opening.
  std::string message;
};
StoredLine StoreGivenLine(TStringList& list, int replace, int keepSlot,
                          const std::function<std::string(int slot)>& lineOfSlot,
                          const TripSummary& summary);
std::filesystem::path EntryJournalPath();
// On loading a rider (before anything saves the list): an entry the
// journal names is completed (the replaced
// line goes, the new line and its summary come, list and database are
// saved) unless the list holds it already; then the journal goes. False
// with a message when it could not be completed.
bool FinishPendingEntry(TStringList& list, std::string* message = nullptr);

// Whether a manual entry's slot holds that entry: the summary's date field
// is the line's date and its start time the line's hour and minute (a start
// time of 0, or both fields 0 beside a time of its own, as a sort in the
// other program leaves them, counts as holding it).
bool SlotHoldsManualEntry(std::string_view line, const TripSummary& summary);
// On loading a rider: each manual line whose slot does not hold it (a slot
// left stale by a crash or a restored file) gets "PF" after its slot, which
// then holds no values (a slot another line uses is left to that line and
// the entry gets a free one): its values are unknown until they are typed
// again. Returns how many were marked; `message` names their dates.
int MarkForeignManualSlots(TStringList& list, std::string* message = nullptr);

// On loading a rider: the temporary files a crash left in the rider's and
// the settings folder are removed. Returns how many.
int RemoveLeftTemporaryFilesOfRider();

// Files a trip held in TripSamples: fills the header's threshold, weight and
// kind from the current rider, picks a slot (NextTripNumber), writes
// "<key>.DEO" to RiderDir, adds the line "<key>;<slot>;*<comment>" to the
// list in sorted mode, evaluates the slot and saves database and list
// (changes not saved yet are saved before the slot is picked).
// `key` is the trip key (date, time, kind digit and source rest).
bool StoreNewTrip(TStringList& list, std::string_view key, std::string_view comment,
                  std::string* error = nullptr);

}  // namespace tav
