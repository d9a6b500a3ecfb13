// TForm30: the single-trip view. Shows the trip in TripSamples as curves over
// time, one chart strip per shown channel, the statistics of the section the
// charts show beside them, and opens the heart-rate scan on that section (as
// a clip file).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "openers/openers.h"
#include "platform/controls.h"
#include "viewing/trip_view_model.h"

namespace tav {
class TChart;
}

class TForm30 : public tav::TForm {
 public:
  TForm30();
  ~TForm30() override;

  // Language texts (set by the text tables): channel names (0-6), hints of
  // SB_LZ by mode (7-10), hints of SB_S15 by grade window (11-13), climb
  // rate names (14-15), range messages (16-18).
  std::string UiText[19];

  // --- commands ---
  void FormActivate(tav::TControl* sender);
  // Shows the calendar again (in front) when it is visible.
  void SB_KALClick(tav::TControl* sender);
  // Saves the shown section as the clip CLIP2.DEO and opens the heart-rate
  // scan on it.
  void SB_POPUClick(tav::TControl* sender);
  // Shows the whole trip again.
  void SB_FTClick(tav::TControl* sender);

  // --- state, readable by tests and other windows ---
  // Records the charts show (the whole trip without zoom; empty when the
  // trip is too short to show).
  tav::RecordRange VisibleSection() const { return section_; }
  // Records the statistics were computed for (whole trip with SB_AW down).
  tav::RecordRange EvaluatedSection() const { return evaluated_; }
  // The six means EvaluateSection gave for the shown statistics: power,
  // speed, cadence, grade, temperature, altitude.
  const std::array<float, 6>& ShownSectionMeans() const { return shown_means_; }
  const tav::ChannelSet& ShownChannels() const { return channels_; }
  // Shows the time span [from_min, to_min] (minutes) in every strip, as a
  // mouse-drag zoom does, and evaluates the records inside.
  void ZoomToMinutes(double from_min, double to_min);
  // The chart strip of a channel (null while the channel is hidden).
  tav::TChart* ChannelChart(int channel) const;

  // --- controls ---
  tav::TPanel* P_TOP = nullptr;
  tav::TSpeedButton *SB_FT = nullptr, *SB_ZV = nullptr, *SB_ZI = nullptr, *SB_DD = nullptr,
                    *SB_DT = nullptr, *SB_AW = nullptr, *SB_AT = nullptr, *SB_SO = nullptr,
                    *SB_PP = nullptr, *SB_MI = nullptr, *SB_SR = nullptr, *SB_PR = nullptr,
                    *SB_PA = nullptr, *SB_DA = nullptr, *SB_DB = nullptr, *SB_L = nullptr,
                    *SB_R = nullptr, *SB_TP = nullptr, *SB_IN = nullptr, *SB_GL = nullptr,
                    *SB_CL1 = nullptr, *SB_CL2 = nullptr, *SB_CLV = nullptr,
                    *SB_SET_INT = nullptr, *SB_LZ = nullptr, *SB_POPU = nullptr,
                    *SB_POCP = nullptr, *SB_S15 = nullptr, *SB_KAL = nullptr;
  tav::TSpeedButton *SK_0 = nullptr, *SK_1 = nullptr, *SK_2 = nullptr, *SK_3 = nullptr,
                    *SK_4 = nullptr;
  // Glyph holders of SB_LZ's three modes (never shown).
  tav::TSpeedButton *SB_LZ0 = nullptr, *SB_LZ1 = nullptr, *SB_LZ2 = nullptr;
  // Scaling and smoothing panel.
  tav::TPanel* P_GLA = nullptr;
  tav::TLabel* L_GLA = nullptr;
  tav::TButton *BU_OK = nullptr, *BU_NO = nullptr;
  tav::TPanel* SB_GRUND = nullptr;
  // Statistics of the shown section, one label per line.
  tav::TPanel* P_SUM = nullptr;
  tav::TLabel* L_SUM_TITLE = nullptr;
  std::vector<tav::TLabel*> L_SUM;
  // Shown instead of the charts when the trip is too short.
  tav::TLabel* L_EMPTY = nullptr;

 private:
  void CreateControls();
  void LayoutControls();
  // The width the statistics panel needs for its lines.
  int SummaryWidth() const;
  void ApplyTexts();
  // Rebuilds the strips from the trip buffer (whole trip shown).
  void LoadTrip();
  void BuildStrips();
  // Applies [from, to] minutes to every strip's time axis.
  void ApplyTimeSpan(double from_min, double to_min, bool whole);
  // Lines up the plot areas of the shown strips.
  void AlignStrips();
  void Evaluate();
  void ToggleChannel(int channel);
  void ShowEmpty(bool empty);

  std::array<tav::TChart*, tav::kViewChannels> strips_{};
  tav::ChannelSet channels_{};
  bool channels_set_ = false;
  int grade_window_ = 0;  // index into kGradeWindows
  // Makes the smoothed columns and the grade of the shown channels that are
  // not ready yet (one pass over the records for all of them).
  void PrepareShownChannels();

  std::vector<float> grade_;
  bool grade_ready_ = false;
  // Smoothed channels (one buffer a column, one entry a record); a column is filled once a shown channel
  // needs it, with the half-width its level had when the trip was loaded.
  std::array<std::vector<float>, 6> smooth_;
  std::array<bool, 6> smoothed_{};
  std::array<int, 6> half_width_{};
  // Minutes of the records of the whole trip (the x of every curve), and
  // room for one curve's values.
  std::vector<double> minutes_, values_;
  // The unit flags a strip's curve was built with; -1: no curve.
  std::array<int, tav::kViewChannels> built_units_{};
  tav::RecordRange trip_range_;
  tav::RecordRange section_;
  tav::RecordRange evaluated_;
  double whole_from_ = 0.0, whole_to_ = 0.0;  // minutes of the whole trip
  double span_from_ = 0.0, span_to_ = 0.0;    // minutes shown
  bool zoomed_ = false;
  std::array<float, 6> shown_means_{};
  uint64_t shown_fingerprint_ = 0;
  bool loaded_once_ = false;
  bool opening_ = false;  // shown since the last activation
  uint64_t caption_taken_at_ = 0;  // ShowCalls() when the caption was taken
};

extern TForm30* Form30;

