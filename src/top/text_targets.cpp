// Where the language tables find their targets: the windows by class name
// and their runs of text members by name.
#include "texts/text_tables.h"

#include <iterator>
#include <type_traits>

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
#include "platform/controls.h"
#include "top/main_window.h"
#include "top/power_model_form.h"
#include "viewing/sample_table.h"
#include "viewing/trip_comparison.h"
#include "viewing/trip_view.h"

namespace tav {

namespace {

template <auto* Var>
TForm* FormOf() {
  return *Var;
}

// The windows the tables write, by class name.
struct WindowEntry {
  std::string_view name;
  TForm* (*form)();
};
constexpr WindowEntry kWindows[] = {
    {"TForm1", FormOf<&Form1>},     {"TForm3", FormOf<&Form3>},     {"TForm33", FormOf<&Form33>},
    {"TForm4", FormOf<&Form4>},     {"TForm5", FormOf<&Form5>},     {"TForm8", FormOf<&Form8>},
    {"TForm16", FormOf<&Form16>},   {"TForm34", FormOf<&Form34>},   {"TForm35", FormOf<&Form35>},
    {"TForm51", FormOf<&Form51>},   {"TForm52", FormOf<&Form52>},   {"TForm56", FormOf<&Form56>},
    {"TForm80", FormOf<&Form80>},   {"TForm7", FormOf<&Form7>},     {"TForm400", FormOf<&Form400>},
    {"TForm30", FormOf<&Form30>},   {"TForm31", FormOf<&Form31>},   {"TForm40", FormOf<&Form40>},
    {"TForm50", FormOf<&Form50>},   {"TForm200", FormOf<&Form200>}, {"TForm530", FormOf<&Form530>},
    {"TForm10", FormOf<&Form10>},
};

// A window's text member as a run: a single string is a run of one.
template <auto* Var, auto Member>
std::span<std::string> RunOf() {
  auto* form = *Var;
  if (form == nullptr) return {};
  auto& member = form->*Member;
  if constexpr (std::is_same_v<std::remove_reference_t<decltype(member)>, std::string>)
    return {&member, 1};
  else
    return {std::begin(member), std::end(member)};
}

struct MemberEntry {
  std::string_view window, name;
  std::span<std::string> (*run)();
};
constexpr MemberEntry kMembers[] = {
    {"TForm1", "MsgText", RunOf<&Form1, &TForm1::MsgText>},
    {"TForm3", "UiText", RunOf<&Form3, &TForm3::UiText>},
    {"TForm33", "UiText", RunOf<&Form33, &TForm33::UiText>},
    {"TForm4", "UiText", RunOf<&Form4, &TForm4::UiText>},
    {"TForm5", "UiText", RunOf<&Form5, &TForm5::UiText>},
    {"TForm8", "UiText", RunOf<&Form8, &TForm8::UiText>},
    {"TForm16", "UiText", RunOf<&Form16, &TForm16::UiText>},
    {"TForm34", "UiText", RunOf<&Form34, &TForm34::UiText>},
    {"TForm35", "UiText", RunOf<&Form35, &TForm35::UiText>},
    {"TForm35", "DateHolders", RunOf<&Form35, &TForm35::DateHolders>},
    {"TForm51", "UiText", RunOf<&Form51, &TForm51::UiText>},
    {"TForm52", "UiText", RunOf<&Form52, &TForm52::UiText>},
    {"TForm56", "UiText", RunOf<&Form56, &TForm56::UiText>},
    {"TForm80", "MsgBadAccount", RunOf<&Form80, &TForm80::MsgBadAccount>},
    {"TForm80", "MsgOffline", RunOf<&Form80, &TForm80::MsgOffline>},
    {"TForm80", "MsgHostError", RunOf<&Form80, &TForm80::MsgHostError>},
    {"TForm80", "MsgMailSent", RunOf<&Form80, &TForm80::MsgMailSent>},
    {"TForm80", "MsgGaveUp", RunOf<&Form80, &TForm80::MsgGaveUp>},
    {"TForm30", "UiText", RunOf<&Form30, &TForm30::UiText>},
    {"TForm40", "UiText", RunOf<&Form40, &TForm40::UiText>},
    {"TForm50", "UiText", RunOf<&Form50, &TForm50::UiText>},
};

}  // namespace

TForm* TextWindow(std::string_view window_class) {
  for (const WindowEntry& w : kWindows)
    if (w.name == window_class) return w.form();
  return nullptr;
}

std::span<std::string> TextMemberRun(std::string_view window_class, std::string_view member) {
  for (const MemberEntry& m : kMembers)
    if (m.window == window_class && m.name == member) return m.run();
  return {};
}

}  // namespace tav

