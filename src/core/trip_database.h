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
// Decodes a file image into the tables and TripCounter. The layout is
// fixed, so every slot that lies whole in the image is taken even when the
// image is damaged (wrong version word, wrong length); the other slots are
// empty, and so is a summary slot with negative times or values that are
// not finite; a zone or distribution slot with counts no trip has loses its
// mark (it is computed again). A damaged image returns false with the reason in `error`
// (naming the file `name` when given).
bool DecodeTripDatabase(std::string_view bytes, std::string* error = nullptr,
                        std::string_view name = {});

// Loads TripDatabasePath (or `path`). A missing file leaves empty tables and
// returns true; a damaged one is reported, read as far as it is whole, kept
// as a numbered .BAD copy and marked changed (TripDatabaseChanged), so the
// next save writes what was read.
bool LoadTripDatabase(std::string* error = nullptr);
bool LoadTripDatabaseFile(const std::filesystem::path& path, std::string* error = nullptr);
// Writes the tables (temporary file renamed into place) and clears
// TripDatabaseChanged.
bool SaveTripDatabase(std::string* error = nullptr);
bool SaveTripDatabaseFile(const std::filesystem::path& path, std::string* error = nullptr);

// Clears all three tables.
void ClearTripTables();

}  // namespace tav
