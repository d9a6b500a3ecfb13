#include "analysis/best_power_worker.h"

#include <utility>

#include "analysis/power_duration_scan.h"
#include "core/core_data.h"
#include "diary/diary_window.h"

TTAV_Thread::TTAV_Thread(std::vector<std::string> block1_lines, std::string rider_dir)
    : lines_(std::move(block1_lines)), rider_dir_(std::move(rider_dir)) {}

TTAV_Thread::~TTAV_Thread() { WaitFor(); }

void TTAV_Thread::Execute() {
  // The walk over block 1 comes with the power-duration window; until then
  // the job ends at once with an empty curve.
  if (Form5 != nullptr) Form5->BlockDone.Set();
}

namespace tav {

void StopBestPowerWorker(TForm3* diary) {
  if (diary == nullptr || diary->Worker == nullptr) return;
  diary->Worker->Terminate();
  delete diary->Worker;  // joins
  diary->Worker = nullptr;
}

void StartBestPowerWorker(TForm3* diary, std::vector<std::string> block1_lines) {
  if (diary == nullptr) return;
  StopBestPowerWorker(diary);
  if (Form5 != nullptr) Form5->BlockDone.Reset();
  diary->Worker = new TTAV_Thread(std::move(block1_lines), RiderDir);
  diary->Worker->Start();
}

}  // namespace tav
