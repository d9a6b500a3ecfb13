#include "top/forms.h"

#include <type_traits>
#include <vector>

#include "acquisition/date_time_dialog.h"
#include "acquisition/device_window.h"
#include "acquisition/firmware_update.h"
#include "acquisition/user_display.h"
#include "analysis/distribution_charts.h"
#include "analysis/evaluation_window.h"
#include "analysis/grade_scan.h"
#include "analysis/heart_rate_power_scan.h"
#include "analysis/overview_charts.h"
#include "analysis/power_cadence_scan.h"
#include "analysis/power_duration_scan.h"
#include "analysis/time_above_scan.h"
#include "analysis/zone_pie.h"
#include "analysis/zone_time_scan.h"
#include "diary/calendar_window.h"
#include "diary/diary_window.h"
#include "mail/mail_form.h"
#include "top/info_form.h"
#include "top/language_form.h"
#include "top/main_window.h"
#include "top/power_model_form.h"
#include "viewing/sample_table.h"
#include "viewing/trip_comparison.h"
#include "viewing/trip_view.h"

namespace tav {

namespace {
// Destroyers in creation order; DestroyAllForms runs them backwards.
std::vector<void (*)()>& Destroyers() {
  static std::vector<void (*)()> list;
  return list;
}
}  // namespace

// Constructs the window of a global form variable and remembers how to
// destroy it.
template <auto* Var>
void Create() {
  using Form = std::remove_pointer_t<std::remove_reference_t<decltype(*Var)>>;
  *Var = new Form();
  Destroyers().push_back([] {
    delete *Var;
    *Var = nullptr;
  });
}

void CreateAllForms() {
  if (!Destroyers().empty()) return;  // already created
  Create<&Form1>();
  Create<&Form3>();
  Create<&Form11>();
  Create<&Form30>();
  Create<&Form40>();
  Create<&Form4>();
  Create<&Form8>();
  Create<&Form7>();
  Create<&Form5>();
  Create<&Form52>();
  Create<&Form51>();
  Create<&Form56>();
  Create<&Form33>();
  Create<&Form34>();
  Create<&Form80>();
  Create<&Form31>();
  Create<&Form10>();
  Create<&Form400>();
  Create<&Form35>();
  Create<&Form530>();
  Create<&Form50>();
  Create<&Form200>();
  Create<&Form12>();
  Create<&Form16>();
}

void DestroyAllForms() {
  auto& list = Destroyers();
  while (!list.empty()) {
    auto destroy = list.back();
    list.pop_back();
    destroy();
  }
}

}  // namespace tav
