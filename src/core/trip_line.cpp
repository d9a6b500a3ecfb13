#include "core/trip_line.h"

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

bool IsManualEntryKeyLine(std::string_view line) { return At(line, 13) == 'N' && At(line, 14) == 'R'; }

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

bool ManualValuesUnknown(std::string_view line) { return IsManualEntryKeyLine(line) && LineHasPF(line); }

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

}  // namespace tav
