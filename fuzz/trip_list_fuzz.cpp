// The trip list: a file's text split into lines as the loader takes them,
// then what start-up, filing and the diary do with the lines: the date
// index, the slot of a new trip (NextTripNumber), freeing a slot and the
// parts of each line.
#include <cstdint>
#include <string_view>

#include "core/core_data.h"
#include "core/trip_date_text.h"
#include "core/trip_list.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TStringList list;
  ParseTripList(text, list);
  FUZZ_CHECK(list.Count() >= 1 && IsFreeSlotListLine(list[list.Count() - 1]));
  BuildTripDateIndex(list);
  FUZZ_CHECK(TripDates.size() == static_cast<std::size_t>(list.Count()));
  for (const std::string& line : list) {
    (void)FormatTripDateTime(line);
    (void)LineComment(line);
    (void)LineSecondRemark(line);
    (void)LineTableSlot(line);
    (void)LineHasPF(line);
    (void)ParseFreeSlots(line);
  }
  TripCounter = static_cast<int32_t>(size % 1000);
  // A new trip's slot is one no line uses.
  const int slot = NextTripNumber(list);
  FUZZ_CHECK(slot == -1 || (slot >= kFirstTripSlot && slot <= kLastTripSlot));
  for (const std::string& line : list)
    if (!IsFreeSlotListLine(line)) FUZZ_CHECK(LineSlot(line) != slot);
  if (slot > 0) {
    AddFreeSlot(list, slot);
    FUZZ_CHECK(NextTripNumber(list) > 0);
  }
  return 0;
}
