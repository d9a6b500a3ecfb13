// The trip database "%s/%s.T_D": int32 highest slot in use, int32 3021, then
// TripSummaryTable, TripZoneTable and TripDistributionTable, 1000 slots each
// (108, 80 and 992 bytes per slot).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tav {

// File image of the three tables and TripCounter.
std::string EncodeTripDatabase();
// Decodes a file image into the tables and TripCounter. A short or damaged
// image (wrong version word, wrong length) is refused: the tables are reset
// to empty slots, TripCounter to 0, and `error` gets the reason.
bool DecodeTripDatabase(std::string_view bytes, std::string* error = nullptr);

// Loads TripDatabasePath (or `path`). A missing file leaves empty tables and
// returns true; a damaged one is reported and skipped (empty tables).
bool LoadTripDatabase(std::string* error = nullptr);
bool LoadTripDatabaseFile(const std::filesystem::path& path, std::string* error = nullptr);
// Writes the tables (temporary file renamed into place).
bool SaveTripDatabase(std::string* error = nullptr);
bool SaveTripDatabaseFile(const std::filesystem::path& path, std::string* error = nullptr);

// Clears all three tables.
void ClearTripTables();

}  // namespace tav
