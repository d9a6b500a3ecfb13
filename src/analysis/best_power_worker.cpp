#include "analysis/best_power_worker.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "analysis/power_duration_curves.h"
#include "core/core_data.h"

namespace {
std::atomic<uint64_t> last_job_id{0};

// Sets the completion event when the run leaves Execute, however it leaves.
struct SignalOnExit {
  tav::TEvent* done;
  ~SignalOnExit() {
    if (done != nullptr) done->Set();
  }
};

void Publish(const BestPowerHandOver& to, const std::vector<float>& curve,
             const tav::BlockSummary& summary) {
  if (to.Curve != nullptr) std::copy(curve.begin(), curve.end(), to.Curve);
  if (to.MaxPower != nullptr) *to.MaxPower = summary.MaxPower;
  if (to.MaxDuration != nullptr) *to.MaxDuration = summary.MaxDuration;
}
}  // namespace

TTAV_Thread::TTAV_Thread(std::vector<std::string> block1_lines, std::string rider_dir,
                         BestPowerHandOver hand_over, int threads)
    : lines_(std::move(block1_lines)),
      rider_dir_(std::move(rider_dir)),
      hand_over_(hand_over),
      threads_(threads),
      job_id_(++last_job_id) {}

TTAV_Thread::~TTAV_Thread() {
  Terminate();
  WaitFor();
}

void TTAV_Thread::Execute() {
  SignalOnExit signal{hand_over_.Done};
  try {
    std::vector<float> curve(tav::kBestPowerEntries, 0.0f);
    tav::BlockSummary summary;
    if (tav::ComputeBlockCurve(lines_, rider_dir_, threads_, TerminateFlag(), curve.data(),
                               tav::kBestPowerEntries, summary))
      Publish(hand_over_, curve, summary);
  } catch (...) {
    // Nothing half-done is handed over.
    if (hand_over_.Curve != nullptr) std::fill(hand_over_.Curve, hand_over_.Curve + tav::kBestPowerEntries, 0.0f);
    if (hand_over_.MaxPower != nullptr) *hand_over_.MaxPower = 0.0f;
    if (hand_over_.MaxDuration != nullptr) *hand_over_.MaxDuration = tav::BlockSummary{}.MaxDuration;
    throw;  // kept as the thread's FatalException
  }
  Terminate();
}

namespace tav {

void StopBestPowerJob(TTAV_Thread*& slot) {
  if (slot == nullptr) return;
  slot->Terminate();
  delete slot;  // joins
  slot = nullptr;
}

bool RestartBestPowerJob(TTAV_Thread*& slot, std::vector<std::string> block1_lines,
                         std::string rider_dir, BestPowerHandOver hand_over, int threads) {
  StopBestPowerJob(slot);
  if (hand_over.Done != nullptr) hand_over.Done->Reset();
  // Whatever stops the job from starting, nothing may wait for it.
  auto no_job = [&] {
    delete slot;
    slot = nullptr;
    if (hand_over.Done != nullptr) hand_over.Done->Set();
  };
  try {
    slot = new TTAV_Thread(std::move(block1_lines), std::move(rider_dir), hand_over, threads);
    slot->Start();
  } catch (const std::system_error&) {
    no_job();  // no thread to be had: the block view draws without block 1
    return false;
  } catch (...) {
    no_job();
    throw;
  }
  return true;
}

}  // namespace tav
