#include "viewing/clip_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/core_test_util.h"
#include "platform/strings.h"

namespace tav {
namespace {

using namespace testing_core;

// A record that marks the buffer records a read must leave alone.
TripSample Marker(float power) {
  TripSample m;
  m.Power = power;
  return m;
}

class ClipFileTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    trip_.resize(200);
    trip_[0].Time = 0x20;      // header flags
    trip_[0].Power = 250.0f;   // threshold
    trip_[0].Interval = 1;     // kind of sport
    for (int i = 1; i < 200; ++i) {
      trip_[i].Time = i * 2;
      trip_[i].Distance = i * 0.01f;
      trip_[i].Power = 100.0f + i;
      trip_[i].HeartRate = 120.0f + i % 7;
      trip_[i].Interval = static_cast<int8_t>(i % 3);
      trip_[i].Extra[1] = static_cast<uint8_t>(i);
    }
    path_ = dir_ / kClipFileName;
  }

  std::vector<TripSample> trip_;
  std::filesystem::path path_;
};

TEST_F(ClipFileTest, LayoutIsCountHeaderSectionAndText) {
  const std::string bytes = EncodeClip(trip_.data(), 200, 10, 12, "Clip text");
  ASSERT_EQ(bytes.size(), 4u + 4u * 40u + 100u);
  const unsigned char* p = Bytes(bytes);
  EXPECT_EQ(le::GetI32(p), 3);
  EXPECT_EQ(TripSample::Load(p + 4), trip_[0]);
  EXPECT_EQ(TripSample::Load(p + 44), trip_[10]);
  EXPECT_EQ(TripSample::Load(p + 124), trip_[12]);
  // Field offsets of a record in the file.
  EXPECT_EQ(le::GetI32(p + 44), 20);
  EXPECT_FLOAT_EQ(le::GetF32(p + 44 + 8), 110.0f);
  EXPECT_EQ(static_cast<int8_t>(p[44 + 36]), 1);
  EXPECT_EQ(bytes.substr(164), "Clip text" + std::string(91, '\0'));
  // A long text is cut to keep its terminator.
  const std::string cut = EncodeClip(trip_.data(), 200, 1, 1, std::string(150, 'x'));
  EXPECT_EQ(cut.substr(84), std::string(99, 'x') + '\0');
}

TEST_F(ClipFileTest, SectionOutsideTheTripIsRefused) {
  EXPECT_TRUE(EncodeClip(trip_.data(), 200, 0, 5, "").empty());      // header is no section record
  EXPECT_TRUE(EncodeClip(trip_.data(), 200, 5, 4, "").empty());      // empty
  EXPECT_TRUE(EncodeClip(trip_.data(), 200, 150, 200, "").empty());  // past the end
  WriteBytes(path_, "old");
  EXPECT_FALSE(WriteClipFile(path_, trip_.data(), 200, 7, 3, "x"));
  EXPECT_EQ(FileBytes(path_), "old");
}

TEST_F(ClipFileTest, ReadBackFillsZerosAfterTheEnd) {
  ASSERT_TRUE(WriteClipFile(path_, trip_.data(), 200, 50, 149, "TRIP 1  0:01:40 - 0:04:58"));
  std::vector<TripSample> buffer(kTripBufferRecords, Marker(999.0f));
  const ClipReadResult r = ReadClipFile(path_, buffer.data(), kMaxTripRecords);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.records, 101);
  EXPECT_EQ(r.text, "TRIP 1  0:01:40 - 0:04:58");
  EXPECT_EQ(buffer[0], trip_[0]);
  for (int i = 1; i <= 100; ++i) ASSERT_EQ(buffer[i], trip_[49 + i]) << i;
  for (int i = 101; i < 101 + kClipFillRecords; ++i) ASSERT_EQ(buffer[i], TripSample{}) << i;
  EXPECT_EQ(buffer[101 + kClipFillRecords], Marker(999.0f));
}

TEST_F(ClipFileTest, FillStopsBeforeRecord42000) {
  std::vector<TripSample> big(41500);
  for (int i = 0; i < 41500; ++i) big[i].Time = i;
  ASSERT_TRUE(WriteClipFile(path_, big.data(), 41500, 1, 41000, ""));
  std::vector<TripSample> buffer(kTripBufferRecords, Marker(77.0f));
  const ClipReadResult r = ReadClipFile(path_, buffer.data(), kMaxTripRecords);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.records, 41001);
  EXPECT_EQ(buffer[41000].Time, 41000);
  EXPECT_EQ(buffer[41001], TripSample{});
  EXPECT_EQ(buffer[kClipFillLimit - 1], TripSample{});
  EXPECT_EQ(buffer[kClipFillLimit], Marker(77.0f));
  EXPECT_EQ(ClipFillEnd(41001, kMaxTripRecords), kClipFillLimit);
  EXPECT_EQ(ClipFillEnd(50000, kMaxTripRecords), 50000);  // nothing to fill
  EXPECT_EQ(ClipFillEnd(10, 500), 500);                   // never past the buffer
}

TEST_F(ClipFileTest, DamagedFilesLeaveTheBufferAlone) {
  const std::string good = EncodeClip(trip_.data(), 200, 1, 10, "t");
  std::vector<TripSample> big(400);
  const std::pair<std::string, const char*> bad[] = {
      {"", "empty file"},
      {good.substr(0, 3), "no count"},
      {good.substr(0, good.size() - 1), "short text"},
      {good + "x", "trailing byte"},
      {WithCountWord(good, -1), "negative count"},
      {WithCountWord(good, 0x7fffffff), "count past any buffer"},
      {EncodeClip(big.data(), 400, 1, 350, ""), "bigger than the buffer it is read into"}};
  for (const auto& [bytes, what] : bad) {
    std::vector<TripSample> buffer(300, Marker(33.0f));
    WriteBytes(path_, bytes);
    EXPECT_FALSE(ReadClipFile(path_, buffer.data(), 300).ok) << what;
    for (const TripSample& s : buffer) ASSERT_EQ(s, Marker(33.0f)) << what;
  }
  std::filesystem::remove(path_);
  EXPECT_FALSE(ReadClipFile(path_, std::vector<TripSample>(300).data(), 300).ok);
}

}  // namespace
}  // namespace tav
