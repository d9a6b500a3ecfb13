#include "viewing/clip_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/strings.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

class ClipFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tav_clip_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
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
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::vector<TripSample> trip_;
};

TEST_F(ClipFileTest, LayoutIsCountHeaderSectionAndText) {
  const std::string bytes = EncodeClip(trip_.data(), 200, 10, 12, "Clip text");
  ASSERT_EQ(bytes.size(), 4u + 4u * 40u + 100u);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  EXPECT_EQ(le::GetI32(p), 3);
  EXPECT_EQ(TripSample::Load(p + 4), trip_[0]);
  EXPECT_EQ(TripSample::Load(p + 44), trip_[10]);
  EXPECT_EQ(TripSample::Load(p + 124), trip_[12]);
  // Field offsets of a record in the file.
  EXPECT_EQ(le::GetI32(p + 44), 20);
  EXPECT_FLOAT_EQ(le::GetF32(p + 44 + 8), 110.0f);
  EXPECT_EQ(static_cast<int8_t>(p[44 + 36]), 1);
  const std::string text = bytes.substr(164);
  EXPECT_EQ(text.substr(0, 10), std::string("Clip text\0", 10));
  EXPECT_EQ(text.find_first_not_of('\0', 9), std::string::npos);
}

TEST_F(ClipFileTest, TextIsCutToKeepItsTerminator) {
  const std::string bytes = EncodeClip(trip_.data(), 200, 1, 1, std::string(150, 'x'));
  ASSERT_EQ(bytes.size(), 4u + 2u * 40u + 100u);
  EXPECT_EQ(bytes.substr(84, 99), std::string(99, 'x'));
  EXPECT_EQ(bytes.back(), '\0');
}

TEST_F(ClipFileTest, SectionOutsideTheTripIsRefused) {
  EXPECT_TRUE(EncodeClip(trip_.data(), 200, 0, 5, "").empty());    // header is no section record
  EXPECT_TRUE(EncodeClip(trip_.data(), 200, 5, 4, "").empty());    // empty
  EXPECT_TRUE(EncodeClip(trip_.data(), 200, 150, 200, "").empty());  // past the end
  const fs::path path = dir_ / kClipFileName;
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  EXPECT_FALSE(WriteClipFile(path, trip_.data(), 200, 7, 3, "x"));
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(path, kept));
  EXPECT_EQ(kept, "old");
}

TEST_F(ClipFileTest, ReadBackFillsZerosAfterTheEnd) {
  const fs::path path = dir_ / kClipFileName;
  ASSERT_TRUE(WriteClipFile(path, trip_.data(), 200, 50, 149, "TRIP 1  0:01:40 - 0:04:58"));
  std::vector<TripSample> buffer(kTripBufferRecords);
  TripSample marker;
  marker.Power = 999.0f;
  std::fill(buffer.begin(), buffer.end(), marker);

  const ClipReadResult r = ReadClipFile(path, buffer.data(), kMaxTripRecords);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.records, 101);
  EXPECT_EQ(r.text, "TRIP 1  0:01:40 - 0:04:58");
  EXPECT_EQ(buffer[0], trip_[0]);
  for (int i = 1; i <= 100; ++i) ASSERT_EQ(buffer[i], trip_[49 + i]) << i;
  for (int i = 101; i < 101 + kClipFillRecords; ++i) ASSERT_EQ(buffer[i], TripSample{}) << i;
  EXPECT_EQ(buffer[101 + kClipFillRecords], marker);
}

TEST_F(ClipFileTest, FillStopsBeforeRecord42000) {
  std::vector<TripSample> big(41500);
  for (int i = 0; i < 41500; ++i) big[i].Time = i;
  const fs::path path = dir_ / kClipFileName;
  ASSERT_TRUE(WriteClipFile(path, big.data(), 41500, 1, 41000, ""));
  std::vector<TripSample> buffer(kTripBufferRecords);
  TripSample marker;
  marker.HeartRate = 77.0f;
  std::fill(buffer.begin(), buffer.end(), marker);
  const ClipReadResult r = ReadClipFile(path, buffer.data(), kMaxTripRecords);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.records, 41001);
  EXPECT_EQ(buffer[41000].Time, 41000);
  EXPECT_EQ(buffer[41001], TripSample{});
  EXPECT_EQ(buffer[kClipFillLimit - 1], TripSample{});
  EXPECT_EQ(buffer[kClipFillLimit], marker);
  EXPECT_EQ(ClipFillEnd(41001, kMaxTripRecords), kClipFillLimit);
  EXPECT_EQ(ClipFillEnd(50000, kMaxTripRecords), 50000);  // nothing to fill
  EXPECT_EQ(ClipFillEnd(10, 500), 500);                   // never past the buffer
}

TEST_F(ClipFileTest, DamagedFilesLeaveTheBufferAlone) {
  const fs::path path = dir_ / kClipFileName;
  const std::string good = EncodeClip(trip_.data(), 200, 1, 10, "t");
  std::vector<TripSample> buffer(300);
  TripSample marker;
  marker.Speed = 33.0f;

  auto check_refused = [&](const std::string& bytes, const char* what) {
    std::fill(buffer.begin(), buffer.end(), marker);
    ASSERT_TRUE(WriteFileAtomically(path, bytes));
    EXPECT_FALSE(ReadClipFile(path, buffer.data(), 300).ok) << what;
    for (const TripSample& s : buffer) ASSERT_EQ(s, marker) << what;
  };
  check_refused("", "empty file");
  check_refused(good.substr(0, 3), "no count");
  check_refused(good.substr(0, good.size() - 1), "short text");
  check_refused(good + "x", "trailing byte");
  std::string negative = good;
  le::PutI32(reinterpret_cast<unsigned char*>(negative.data()), -1);
  check_refused(negative, "negative count");
  std::string huge = good;
  le::PutI32(reinterpret_cast<unsigned char*>(huge.data()), 0x7fffffff);
  check_refused(huge, "count past any buffer");
  // A clip bigger than the buffer it is read into.
  std::vector<TripSample> big(400);
  check_refused(EncodeClip(big.data(), 400, 1, 350, ""), "does not fit");

  fs::remove(path);
  EXPECT_FALSE(ReadClipFile(path, buffer.data(), 300).ok);
}

}  // namespace
}  // namespace tav
