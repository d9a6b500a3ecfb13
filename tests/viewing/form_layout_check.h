// Test helper of the windows: what a person would see as a broken layout,
// found on the window model. Every showing control lies inside its parent,
// no two showing siblings cover each other, every caption measured in its
// control's font fits the control (with the room the window's widget takes
// for its frame, box or arrow), and a chart's titles fit beside its plot.
#pragma once

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/chart.h"
#include "platform/controls.h"

namespace tav::layout_check {

// The room a widget keeps beside its text: the frame of a push button and a
// speed button, the box of a check box and a radio button, the arrow of a
// combo box, the frame of an edit and the title inset of a group box.
constexpr int kButtonRoom = 8, kSpeedButtonRoom = 6, kCheckRoom = 21, kComboRoom = 25, kEditRoom = 6,
              kGroupRoom = 16;
// The smallest plot a chart keeps to stay readable.
constexpr int kLeastPlotWidth = 60, kLeastPlotHeight = 40;

struct Options {
  // Controls in front of others by design (a panel that opens over a chart,
  // a read-out that follows the mouse): they may cover their siblings, but
  // lie inside their parent and have their own contents checked.
  std::set<std::string> overlays;
  // Pictures other controls are placed on by design: a control lying wholly
  // inside one of them may cover it (not another control on it).
  std::set<std::string> backgrounds;
  // Controls not checked at all (nor their children).
  std::set<std::string> skip;
};

inline bool Intersect(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}
inline bool Inside(const TRect& inner, const TRect& outer) {
  return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}
inline std::string Show(const TRect& r) {
  std::ostringstream s;
  s << "(" << r.Left << "," << r.Top << " " << r.Width() << "x" << r.Height() << ")";
  return s.str();
}

// The lines of a caption (a button may break its caption).
inline std::vector<std::string> CaptionLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  lines.push_back(line);
  return lines;
}

inline int WidestLine(const TFont& font, const std::string& text) {
  int w = 0;
  for (const std::string& l : CaptionLines(text)) w = std::max(w, MeasureTextWidth(font, l));
  return w;
}

// A text with the room its widget keeps must fit `width`.
inline void ExpectFits(std::vector<std::string>& out, const TControl& c, const std::string& text, int room,
                       int width) {
  if (text.empty()) return;
  const int need = WidestLine(c.Font, text) + room;
  if (need > width) {
    std::ostringstream s;
    s << c.Name << ": \"" << text << "\" needs " << need << " px, has " << width;
    out.push_back(s.str());
  }
  const int lines = static_cast<int>(CaptionLines(text).size());
  const int high = lines * MeasureTextHeight(c.Font);
  if (high > c.Height + (c.Kind() == TControlKind::Label || c.Kind() == TControlKind::StaticText ? 0 : 2)) {
    std::ostringstream s;
    s << c.Name << ": \"" << text << "\" is " << high << " px high, has " << c.Height;
    out.push_back(s.str());
  }
}

// A chart's title lines within its width, each drawn axis title along its
// side of the plot, a plot that can still be read, and the controls on the
// chart clear of its title text.
inline void CheckChart(std::vector<std::string>& out, const TChart& chart) {
  const TRect m = chart.MarginPixels();
  const int inner = chart.Width - m.Left - m.Right;
  int title_bottom = m.Top;
  int title_left = chart.Width, title_right = 0;
  if (chart.Title.Visible) {
    for (const std::string& line : chart.Title.Text) {
      const int w = MeasureTextWidth(chart.Title.Font, line);
      if (w > inner) out.push_back(chart.Name + ": title \"" + line + "\" wider than the chart");
      title_left = std::min(title_left, m.Left + (inner - w) / 2);
      title_right = std::max(title_right, m.Left + (inner + w) / 2);
    }
    if (!chart.Title.Text.Empty())
      title_bottom += chart.Title.Text.Count() * MeasureTextHeight(chart.Title.Font) + 4;
  }
  if (chart.Foot.Visible)
    for (const std::string& line : chart.Foot.Text)
      if (MeasureTextWidth(chart.Foot.Font, line) > inner)
        out.push_back(chart.Name + ": foot \"" + line + "\" wider than the chart");
  const TRect plot = chart.PlotRect();
  bool axes = false;
  for (const TChartAxis* a : {&chart.LeftAxis, &chart.RightAxis, &chart.TopAxis, &chart.BottomAxis}) {
    if (!a->Drawn()) continue;
    axes = true;
    if (a->Title.empty()) continue;
    const int along = a->Horizontal() ? plot.Width() : plot.Height();
    const int w = MeasureTextWidth(a->TitleFont, a->Title);
    if (w > along) {
      std::ostringstream s;
      s << chart.Name << ": axis title \"" << a->Title << "\" is " << w << " px, the plot " << along;
      out.push_back(s.str());
    }
  }
  if (axes && chart.SeriesCount() > 0 && (plot.Width() < kLeastPlotWidth || plot.Height() < kLeastPlotHeight))
    out.push_back(chart.Name + ": plot " + Show(plot) + " too small to read");
  if (title_right > title_left)
    for (const TControl* c : chart.Children()) {
      if (!c->Visible) continue;
      const TRect title{title_left, m.Top, title_right, title_bottom};
      if (Intersect(c->BoundsRect(), title)) out.push_back(c->Name + " covers the title of " + chart.Name);
    }
}

inline void CheckCaption(std::vector<std::string>& out, const TControl& c) {
  switch (c.Kind()) {
    case TControlKind::Label:
    case TControlKind::StaticText: {
      const auto& l = static_cast<const TLabel&>(c);
      if (!l.WordWrap) ExpectFits(out, c, c.Caption, 0, l.AutoSize ? MeasureTextWidth(c.Font, c.Caption) : c.Width);
      break;
    }
    case TControlKind::Button:
      ExpectFits(out, c, c.Caption, kButtonRoom, c.Width);
      break;
    case TControlKind::SpeedButton: {
      const auto& b = static_cast<const TSpeedButton&>(c);
      // A glyph beside the text takes its width and a gap.
      const int glyph = b.Glyph && !c.Caption.empty() ? b.Glyph->Width() / std::max(1, b.NumGlyphs) + 4 : 0;
      ExpectFits(out, c, c.Caption, kSpeedButtonRoom + glyph, c.Width);
      break;
    }
    case TControlKind::CheckBox:
    case TControlKind::RadioButton:
      ExpectFits(out, c, c.Caption, kCheckRoom, c.Width);
      break;
    case TControlKind::ComboBox: {
      const auto& cb = static_cast<const TComboBox&>(c);
      // Every item the box can show in its field.
      for (const std::string& item : cb.Items) ExpectFits(out, c, item, kComboRoom, c.Width);
      if (cb.Style != TComboBoxStyle::csDropDownList) ExpectFits(out, c, cb.Text, kComboRoom, c.Width);
      break;
    }
    case TControlKind::Edit:
      ExpectFits(out, c, static_cast<const TEdit&>(c).Text, kEditRoom, c.Width);
      break;
    case TControlKind::Panel:
      ExpectFits(out, c, c.Caption, 4, c.Width);
      break;
    case TControlKind::GroupBox:
      if (MeasureTextWidth(c.Font, c.Caption) + kGroupRoom > c.Width)
        out.push_back(c.Name + ": title \"" + c.Caption + "\" wider than its frame");
      break;
    case TControlKind::Chart:
      CheckChart(out, static_cast<const TChart&>(c));
      break;
    default:
      break;
  }
}

// Everything wrong with the showing controls under `parent`.
inline void CheckChildren(std::vector<std::string>& out, const TControl& parent, const Options& opt) {
  const TRect room{0, 0, parent.ClientWidth(), parent.ClientHeight()};
  std::vector<const TControl*> shown;
  for (const TControl* c : parent.Children())
    if (c->Visible && !opt.skip.count(c->Name)) shown.push_back(c);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const TControl& c = *shown[i];
    if (!Inside(c.BoundsRect(), room))
      out.push_back(c.Name + " " + Show(c.BoundsRect()) + " outside " + (parent.Name.empty() ? "its parent" : parent.Name) +
                    " " + Show(room));
    CheckCaption(out, c);
    for (std::size_t k = i + 1; k < shown.size(); ++k) {
      const TControl& d = *shown[k];
      if (opt.overlays.count(c.Name) || opt.overlays.count(d.Name)) continue;
      // A group frame around controls, and a dividing line, may lie under them.
      auto frames = [](const TControl& a, const TControl& b) {
        return a.Kind() == TControlKind::GroupBox && Inside(b.BoundsRect(), a.BoundsRect());
      };
      if (frames(c, d) || frames(d, c)) continue;
      auto on = [&](const TControl& a, const TControl& b) {
        return opt.backgrounds.count(a.Name) && Inside(b.BoundsRect(), a.BoundsRect());
      };
      if (on(c, d) || on(d, c)) continue;
      if (Intersect(c.BoundsRect(), d.BoundsRect()))
        out.push_back(c.Name + " " + Show(c.BoundsRect()) + " and " + d.Name + " " + Show(d.BoundsRect()) +
                      " overlap");
    }
    CheckChildren(out, c, opt);
  }
}

// The problems of the form as it stands (empty: none).
inline std::vector<std::string> Problems(const TForm& form, const Options& opt = {}) {
  std::vector<std::string> out;
  CheckChildren(out, form, opt);
  return out;
}

// Joined for a test's message.
inline std::string Joined(const std::vector<std::string>& problems) {
  std::string s;
  for (const std::string& p : problems) s += "\n  " + p;
  return s;
}

}  // namespace tav::layout_check
