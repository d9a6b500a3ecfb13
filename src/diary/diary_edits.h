// The diary's edits of the trip list as plain data: manual entries and their
// statistics, comments and second remarks as stored in a list line, deleting
// a line and freeing its slot, joining two trips, and the heart-rate test of
// the heart-rate scan. The window (diary_commands) moves these into its
// panels and grid.
//
// A list line's tail: '*', the comment with CR stored as '|' and LF as '~',
// then, when a second remark exists, "|~" + byte 0xA7 and the remark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/trip_types.h"

namespace tav {

class TStringList;

// ---- comments ---------------------------------------------------------------

// The stored form of comment lines: joined by "|~" (CR LF), empty lines at
// the end dropped; with cut_at_empty_line the comment ends before its first
// empty line after the first.
std::string EncodeCommentLines(const std::vector<std::string>& lines, bool cut_at_empty_line);
// The lines of a stored comment: "|~", a lone '|' and a lone '~' each end a line.
std::vector<std::string> DecodeCommentLines(std::string_view stored);
// Typed text with the characters that carry the stored structure replaced,
// so no comment or remark can break its line: '|' -> '/', '~' -> '-',
// byte 0xA7 -> 'S', '*' -> 'x'.
std::string CleanTypedComment(std::string_view text);

struct LineCommentParts {
  bool has_tail = false;           // the line has a '*'
  std::vector<std::string> lines;  // the comment, decoded
  std::string remark;              // the second remark ("" when none)
};
// The comment of a list line: the text after its first '*' (after a further
// '*' when there is one), split at the remark separator.
LineCommentParts SplitLineComment(std::string_view line);
// "*" + the encoded comment (cut at its first empty line) + "|~" 0xA7 + remark.
std::string CommentTail(const std::vector<std::string>& lines, std::string_view remark);
// The line cut before its first '*' with the tail appended; a manual entry
// gets kind digit `kind` (3..7) at index 15, other kinds leave the key alone.
std::string LineWithTail(std::string_view line, std::string_view tail, int kind);

// ---- manual entries -----------------------------------------------------------

inline constexpr int kFirstManualKind = 3, kLastManualKind = 7;

// A manual entry as typed, in display units.
struct ManualEntry {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0;
  int kind = kFirstManualKind;   // 3..7
  int duration_seconds = 0;
  double distance = 0;           // km, or miles with the miles option
  double heart_rate = 0;         // 1/min
  double temperature = 0;        // degC, or degF with the Fahrenheit option
  double start_time = 0;         // time of day as a date-value fraction
};
// "yyyymmdd_hhmmNRk_" + rider.
std::string ManualEntryKey(const ManualEntry& e, std::string_view rider);
// Key + ";%03i;*" + the encoded comment (+ "|~" 0xA7 + remark when there is one).
std::string ManualEntryLine(const ManualEntry& e, std::string_view rider, int slot,
                            const std::vector<std::string>& comment, std::string_view remark);
// The statistics record of an entry: total time, distance [km], heart rate,
// temperature [degC], start time of day and date; every other field 0.
TripSummary ManualEntrySummary(const ManualEntry& e, int unit_flags);
// The number typed into an entry field ('.' decimals; blank or junk 0).
double EntryNumber(std::string_view text);

// ---- deleting ------------------------------------------------------------------------

struct DeletedLine {
  bool removed = false;  // the line was deleted (a line without ';' is not)
  int slot = -1;         // its slot
  bool freed = false;    // the slot was added to the free-slot line
};
// Deletes line `index` (not the free-slot line). Its slot is freed only when
// it lies within 1..998, no other line uses it and it is not free already.
DeletedLine DeleteDiaryLine(TStringList& list, int index);

// ---- joining ---------------------------------------------------------------------------

// Two trips are joined only while their records together (headers counted)
// stay below this.
inline constexpr int kJoinRecordLimit = 44501;
constexpr bool JoinFits(int count1, int count2) { return count1 + count2 < kJoinRecordLimit; }
// Appends records 1.. of trip b to trip a (counts include the headers; `a`
// has room for both): times go on from a's last record at `interval`
// seconds, distances from its last distance, altitudes from its last
// altitude; the first appended record gets pause 55 (the joint). Returns the
// joined record count.
int JoinTripRecords(TripSample* a, int count1, const TripSample* b, int count2, int interval);

// ---- heart rate -------------------------------------------------------------------------

// True when more than 80 % of the records (count including the header) have
// a heart rate above 30.
bool HeartRateUsable(const TripSample* samples, int count);

}  // namespace tav
