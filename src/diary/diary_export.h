// The diary's CSV export and its zone sums: the grid as a CSV file with each
// trip's four peak powers, and the distribution records of the trips of a
// day, a week or one trip added up for the distribution charts (TForm34).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/trip_types.h"

class TForm3;

namespace tav {

class TStringGrid;
class TStringList;

// The CSV text of the diary grid, Windows-1252 with CR LF: the title row
// ("Trip;" ...), the unit row (" ;" ...), the column-map line, then one line
// per list row shown, each beginning with the row's key date and time
// (yyyymmdd-hhmm), then its cells ("%s;", ';' inside a cell written as ',',
// from column 4 on the first '.' of a value as ','), then the four peak
// powers of its trip (0 for a manual entry).
std::string DiaryCsvText(const TStringGrid& grid, const TStringList& list, const std::vector<int32_t>& row_line,
                         const std::vector<int32_t>& power_slot, const int32_t* column_pos, int shown);
// Asks for a file (SaveDialog1) and writes the diary's CSV there (temporary
// file renamed into place); a failure is shown and written to the error
// stream.
void ExportDiaryCsv(TForm3* form);

// ---- zone sums -------------------------------------------------------------------

// One trip of a sum: its statistics slot and its date text.
struct ZoneSumTrip {
  int slot = 0;
  std::string date_text;
};
// The recorded trips of kind `kind` on the days [day, day + days) among the
// first `shown` lines of the list (slots from the lines, in list order, so a
// sorted diary sums the same trips).
std::vector<ZoneSumTrip> DiaryTripsOnDays(const TStringList& list, int shown, const std::vector<TripDateEntry>& dates,
                                          int32_t day, int days, int kind);
// The trips of a slot (its date texts), as the lines name it.
std::vector<ZoneSumTrip> DiaryTripsOfSlot(const TStringList& list, int shown, int slot);
// Adds the distribution records of the trips: histograms and total times
// summed, peaks the highest. `view` is cleared first except its zone limits,
// which are copied from a trip whose third limit is above 10 (always with
// `any_limits`). Returns the number of trips added (slots outside 1..999 are
// skipped).
int SumDistributions(const std::vector<ZoneSumTrip>& trips, bool any_limits, DistributionData& view);
// "<title> = hh:mm:ss   <dates>".
std::string ZoneSumCaption(const std::string& title, int32_t seconds, const std::string& dates);

// The sums of a day, of one trip and of seven days from `date`: fill
// DistributionView and show TForm34 with a caption of total time and dates;
// nothing is shown when no trip or no time was summed. The diary's Tag
// becomes 5. The day and period sums take the calendar's kind of sport.
void SumZoneStatsForDay(TForm3* form, double date);
void SumZoneStatsForTrip(TForm3* form, int slot);
void SumZoneStatsForPeriod(TForm3* form, double date);

}  // namespace tav
