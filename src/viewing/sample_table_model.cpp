#include "viewing/sample_table_model.h"

#include <algorithm>

#include "platform/text.h"
#include "viewing/trip_view_model.h"

namespace tav {

int TableRowCount(int count) {
  if (count < kMinShowRecords) return 2;
  return count;
}

bool TableRowHasRecord(int row, int count) {
  return count >= kMinShowRecords && row >= 1 && row < count;
}

std::string SampleCellText(const TripSample& r, int column) {
  switch (column) {
    case kColTime: return FormatClock(r.Time);
    case kColDistance: return Format("%.3f", r.Distance);
    case kColPower: return Format("%.0f", r.Power);
    case kColSpeed: return Format("%.1f", r.Speed);
    case kColHeartRate: return Format("%.0f", r.HeartRate);
    case kColCadence: return Format("%.2f", r.Cadence);
    case kColAltitude: return Format("%.1f", r.Altitude);
    case kColTemperature: return Format("%.1f", r.Temperature);
    case kColInterval: return Format("%i", static_cast<int>(r.Interval));
    case kColPause: return Format("%i", static_cast<int>(r.Pause));
    default: return {};
  }
}

TableCell ClampTableCell(int row, int col, int rows) {
  TableCell c;
  c.row = std::clamp(row, 1, std::max(1, rows - 1));
  c.col = std::clamp(col, 0, kTableColumns - 1);
  return c;
}

}  // namespace tav
