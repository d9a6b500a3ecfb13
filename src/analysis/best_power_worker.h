// TTAV_Thread: the best-power worker. Computes, on a thread of its own, the
// best mean power for every duration over the trips of block 1 of a diary
// selection while the user picks block 2, and hands the curve over to the
// power-duration window (BestPowerCurve, TForm5::BlockMaxPower,
// TForm5::BlockMaxDuration, signalled through TForm5::BlockDone).
#pragma once

#include <string>
#include <vector>

#include "platform/thread.h"

class TForm3;

class TTAV_Thread : public tav::TThread {
 public:
  // The worker owns its copy of the block-1 lines and of the rider folder.
  TTAV_Thread(std::vector<std::string> block1_lines, std::string rider_dir);
  ~TTAV_Thread() override;

 protected:
  void Execute() override;

 private:
  std::vector<std::string> lines_;
  std::string rider_dir_;
};

namespace tav {

// Starts a block-1 job for the diary: stops and joins a job still running in
// diary->Worker, clears TForm5::BlockDone, starts a new worker on a copy of
// the lines and keeps it in diary->Worker (the diary owns it).
void StartBestPowerWorker(TForm3* diary, std::vector<std::string> block1_lines);
// Stops and joins the diary's worker, if any (program exit).
void StopBestPowerWorker(TForm3* diary);

}  // namespace tav
