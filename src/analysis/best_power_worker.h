// TTAV_Thread: the best-power worker. Computes, on a thread of its own, the
// best mean power for every duration over the trips of block 1 of a diary
// selection while the user picks block 2, and hands the curve over to the
// power-duration window (BestPowerCurve, TForm5::BlockMaxPower,
// TForm5::BlockMaxDuration, signalled through TForm5::BlockDone).
//
// One job runs at a time; the diary owns it (TForm3::Worker, the process-wide
// BestPowerJob of openers/openers.h). Starting a new job stops and joins the
// running one; a stopped job hands nothing over but still signals. The
// completion is signalled on every path, an exception included (the
// hand-over then holds the empty result).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/thread.h"

// Where a job puts its results. Null members are not written.
struct BestPowerHandOver {
  float* Curve = nullptr;          // kBestPowerEntries floats, index = duration in s
  float* MaxPower = nullptr;       // highest raw power of the loaded trips
  int32_t* MaxDuration = nullptr;  // longest loaded trip in s, at least 3600
  tav::TEvent* Done = nullptr;     // set once the three above are final
};

class TTAV_Thread : public tav::TThread {
 public:
  // The worker owns its copy of the block-1 lines and of the rider folder.
  // `threads`: threads for the trips (0: all cores).
  TTAV_Thread(std::vector<std::string> block1_lines, std::string rider_dir,
              BestPowerHandOver hand_over, int threads = 0);
  ~TTAV_Thread() override;
  // Different for every job of the run (never 0).
  uint64_t JobId() const { return job_id_; }

 protected:
  void Execute() override;

 private:
  std::vector<std::string> lines_;
  std::string rider_dir_;
  BestPowerHandOver hand_over_;
  int threads_;
  uint64_t job_id_;
};

namespace tav {

// Starts a job in `slot` after stopping and joining the one there; Done is
// reset before the new job starts. When no thread can be made for it the
// slot stays empty, Done is set (nothing waits for ever) and the result is
// false.
bool RestartBestPowerJob(TTAV_Thread*& slot, std::vector<std::string> block1_lines,
                         std::string rider_dir, BestPowerHandOver hand_over, int threads = 0);
// Stops and joins the job in `slot`, if any, and empties the slot.
void StopBestPowerJob(TTAV_Thread*& slot);

}  // namespace tav
