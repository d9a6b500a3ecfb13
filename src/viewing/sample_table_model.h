// The sample table's model: one row per record of the loaded trip (row 0
// holds the column titles, row r shows record r), one column per field of a
// record, in the order of the table's column titles.
#pragma once

#include <string>

#include "core/trip_types.h"

namespace tav {

enum TableColumn : int {
  kColTime = 0, kColDistance = 1, kColPower = 2, kColSpeed = 3, kColHeartRate = 4,
  kColCadence = 5, kColAltitude = 6, kColTemperature = 7, kColInterval = 8, kColPause = 9
};
inline constexpr int kTableColumns = 10;

// Rows of the grid for a trip of `count` records (header included): the
// title row and one row per record; a trip too short to show has the title
// row and one empty row.
int TableRowCount(int count);
// Whether row r shows a record of a trip of `count` records.
bool TableRowHasRecord(int row, int count);

// The text of one cell of a record.
std::string SampleCellText(const TripSample& r, int column);

struct TableCell {
  int col = 0;
  int row = 1;
  bool operator==(const TableCell&) const = default;
};
// The cell to select for a wished row and column: brought inside the data
// rows (1..rows-1) and columns (0..kTableColumns-1).
TableCell ClampTableCell(int row, int col, int rows);

}  // namespace tav
