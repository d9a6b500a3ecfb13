// Trip list lines, one at a time: bounds-safe access to the parts of a
// line, and the dates they hold.
//
// A trip line: key (8 date digits, '_', 6 time digits, kind digit at index
// 15, '_' and a source rest), ';', three-digit slot optionally followed by
// "PF", ';', optional '*' and a comment; a second remark follows "|~\xA7". A
// manual entry has four time digits, "NR" at 13-14 and no trip file. The
// free-slot line of a list begins with "ER" (see trip_list.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/trip_types.h"

namespace tav {

// Separator in front of the second remark ("|~" + byte 0xA7).
inline constexpr std::string_view kSecondRemarkMark = "|~\xA7";

// --- parts of a line (never read past its end) ---
std::string_view LineKey(std::string_view line);       // text before the first ';' (all if none)
bool LineHasSemicolon(std::string_view line);
bool IsFreeSlotListLine(std::string_view line);            // begins with "ER"
bool IsManualLine(std::string_view line);              // 'N' at 13 or 'R' at 14
bool IsManualEntryKeyLine(std::string_view line);      // "NR" at 13-14 (as the diary writes them)
int LineSportDigit(std::string_view line);             // digit at 15, -1 when none
// Date digits 0-7; false when they are not a valid date.
bool LineDate(std::string_view line, int& year, int& month, int& day);
// Time digits from 9: six for trips (h, m, s), four for manual entries (s = 0).
bool LineTime(std::string_view line, int& hour, int& minute, int& second);
int32_t LineDateValue(std::string_view line);          // 0 when the date is bad
// Statistics slot after the first ';' (leading digits); nullopt when none.
std::optional<int> LineSlot(std::string_view line);
// The slot when it indexes the tables (0..999), else nullopt.
std::optional<int> LineTableSlot(std::string_view line);
bool LineHasPF(std::string_view line);                 // "PF" right after the slot digits
// Comment: text after the first '*' up to the first '|' (or the end).
std::string LineComment(std::string_view line);
// Whole tail after the first '*' (comment and second remark), "" when none.
std::string LineTail(std::string_view line);
// Second remark: text after "|~\xA7", "" when none.
std::string LineSecondRemark(std::string_view line);
// A manual entry whose values were lost: "PF" after its slot (its slot
// holds no values; they are unknown until they are typed again).
bool ManualValuesUnknown(std::string_view line);
// Replaces "PF" after the slot by "__"; false when the line has none.
bool ClearLinePF(std::string& line);
// A well-formed trip or manual line (at least 16 characters, valid date, ';').
bool IsTripLine(std::string_view line);

// --- dates ---
// Date value: whole days since 30 December 1899.
int32_t DateValue(int year, int month, int day);
void DateOfValue(int32_t value, int& year, int& month, int& day);
bool ValidDate(int year, int month, int day);
// 1 Monday .. 7 Sunday of a date value.
int IsoWeekday(int32_t value);

}  // namespace tav
