#include "analysis/power_duration_scan.h"

#include <utility>

#include "analysis/best_power_worker.h"
#include "core/core_data.h"
#include "diary/diary_window.h"

TForm5* Form5 = nullptr;

TForm5::TForm5() {
  Name = "Form5";
  Caption = "SCAN POWER";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}

// The worker writes into this window's members: it must not outlive them.
TForm5::~TForm5() { tav::StopBestPowerWorker(Form3); }

namespace tav {

void StopBestPowerWorker(TForm3* diary) {
  if (diary != nullptr) StopBestPowerJob(diary->Worker);
}

void StartBestPowerWorker(TForm3* diary, std::vector<std::string> block1_lines) {
  if (diary == nullptr) return;
  BestPowerHandOver to;
  to.Curve = BestPowerCurve;
  if (Form5 != nullptr) {
    to.MaxPower = &Form5->BlockMaxPower;
    to.MaxDuration = &Form5->BlockMaxDuration;
    to.Done = &Form5->BlockDone;
  }
  RestartBestPowerJob(diary->Worker, std::move(block1_lines), RiderDir, to);
}

}  // namespace tav
