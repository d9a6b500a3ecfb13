#include "viewing/trip_fingerprint.h"

namespace tav {

namespace {
void Mix(uint64_t& h, const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 0x100000001B3ull;  // FNV-1a
  }
}
}  // namespace

uint64_t TripFingerprint(const TripSample* trip, int count) {
  uint64_t h = 0xCBF29CE484222325ull;
  unsigned char bytes[TripSample::kBytes];
  le::PutI32(bytes, count);
  Mix(h, bytes, 4);
  if (trip == nullptr || count <= 0) return h;
  constexpr int kProbes = 256;
  const int step = count > kProbes ? count / kProbes : 1;
  for (int i = 0; i < count; i += step) {
    trip[i].Store(bytes);
    Mix(h, bytes, sizeof bytes);
  }
  trip[count - 1].Store(bytes);
  Mix(h, bytes, sizeof bytes);
  return h;
}

}  // namespace tav
