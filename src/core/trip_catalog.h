// A rider's trips as a whole: the trip list kept in step with the trip
// database and the trip files. Saving the list saves the database with it;
// filing a new trip writes its file, gives it a line and evaluates its slot;
// a join of two trips is carried through the list, the database and the
// files so that it survives a crash.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/trip_list.h"
#include "platform/strings.h"  // TStringList

namespace tav {

// Saves the list to TripListPath and the trip database to TripDatabasePath;
// clears TripListChanged when both were written.
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

// Files a trip held in TripSamples: fills the header's threshold, weight and
// kind from the current rider, picks a slot (NextTripNumber), writes
// "<key>.DEO" to RiderDir, adds the line "<key>;<slot>;*<comment>" to the
// list in sorted mode, evaluates the slot and saves list and database.
// `key` is the trip key (date, time, kind digit and source rest).
bool StoreNewTrip(TStringList& list, std::string_view key, std::string_view comment,
                  std::string* error = nullptr);

}  // namespace tav
