// Test helpers of the windows: checks of named controls, and a form painted
// with its controls onto a bitmap the way the window shows them in outline
// (panels, labels, buttons, edits and lists as simple boxes with their
// texts; grids, charts and paint boxes paint themselves), saved as a PNG for
// a person to look at.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/controls.h"

namespace tav::snapshot {

enum ControlState { kExists, kEnabled, kDisabled /* shown but disabled */ };

// Deletes a window held in its global variable and clears the variable.
template <class Form>
void DeleteForm(Form*& form) {
  delete form;
  form = nullptr;
}

// Every named control exists on `form` and is in the given state.
inline void ExpectControls(const TForm& form, std::initializer_list<const char*> names,
                           ControlState state = kExists) {
  for (const char* n : names) {
    const TControl* c = form.FindControl(n);
    EXPECT_NE(c, nullptr) << n;
    if (!c) continue;
    const bool ok = state == kExists || (state == kEnabled ? c->Enabled : c->Visible && !c->Enabled);
    EXPECT_TRUE(ok) << n << (state == kEnabled ? " is disabled" : " is hidden or enabled");
  }
}

// A control that does not paint itself, in outline: a box (filled for
// edits, lists and pressed buttons) with its text or lines, clipped to it.
inline void PaintControlOutline(TCanvas& cv, TControl& c, int x, int y) {
  const TRect r{x, y, x + c.Width, y + c.Height};
  std::vector<std::string> lines{c.Caption};
  TColor fill = clNone;
  switch (c.Kind()) {
    case TControlKind::Label:
    case TControlKind::StaticText:
      break;
    case TControlKind::Panel:
    case TControlKind::GroupBox:
      fill = c.Color;
      break;
    case TControlKind::SpeedButton:
    case TControlKind::Button: {
      auto* sb = dynamic_cast<TSpeedButton*>(&c);
      fill = sb && sb->Down ? 0xD8D8D8 : 0xF4F4F4;
      break;
    }
    default:
      fill = c.Enabled ? clWhite : 0xF0F0F0;
      if (auto* e = dynamic_cast<TEdit*>(&c)) lines = {e->Text};
      if (auto* cb = dynamic_cast<TComboBox*>(&c)) lines = {cb->Text};
      if (auto* m = dynamic_cast<TMemo*>(&c)) lines = m->Lines.Lines();
      if (auto* l = dynamic_cast<TListBox*>(&c)) lines = l->Items.Lines();
  }
  if (c.Kind() != TControlKind::Label && c.Kind() != TControlKind::StaticText) {
    if (fill != clNone) {
      cv.Brush.Color = fill;
      cv.FillRect(r);
    }
    cv.Brush.Color = 0xA0A0A0;
    cv.FrameRect(r);
  }
  cv.Font = c.Font;
  cv.Font.Color = c.Enabled ? c.Font.Color : clGray;
  cv.Brush.Style = TBrushStyle::bsClear;
  cv.SetClipRect(r);
  // A label's text starts at its corner, as in the real window (its size is
  // its text's); boxes keep a small margin.
  const bool boxed = c.Kind() != TControlKind::Label && c.Kind() != TControlKind::StaticText;
  int ty = r.Top + (boxed ? 2 : 0);
  for (const std::string& s : lines) {
    cv.TextOut(r.Left + (boxed ? 3 : 0), ty, s);
    ty += cv.TextHeight("Ag");
  }
  cv.ClearClipRect();
  cv.Brush.Style = TBrushStyle::bsSolid;
}

// Paints `form`'s client area with every showing control.
inline TBitmap RenderForm(TForm& form) {
  TBitmap bmp(std::max(1, form.ClientWidth()), std::max(1, form.ClientHeight()));
  TCanvas& cv = bmp.Canvas();
  cv.Brush.Color = form.Color == clNone ? clBtnFace : form.Color;
  cv.FillRect({0, 0, bmp.Width(), bmp.Height()});
  // Parents before children: repeat over the tree from the form down.
  std::function<void(TControl*)> paint_children = [&](TControl* parent) {
    for (TControl* c : parent->Children()) {
      if (!c->Visible) continue;
      const TPoint at = c->ClientToForm({0, 0});
      if (c->CustomDrawn()) {
        TBitmap part(std::max(1, c->Width), std::max(1, c->Height));
        c->Paint(part.Canvas());
        cv.Draw(at.X, at.Y, part);
      } else {
        PaintControlOutline(cv, *c, at.X, at.Y);
      }
      paint_children(c);
    }
  };
  paint_children(&form);
  return bmp;
}

// Saves the form's picture as <dir>/<name>.png; dir from TAVLOG_PNG_DIR or
// the temporary folder. Returns the path written ("" on failure).
inline std::string SaveFormPng(TForm& form, const std::string& name) {
  const char* env = std::getenv("TAVLOG_PNG_DIR");
  const std::filesystem::path dir =
      env && *env ? std::filesystem::path(env) : std::filesystem::temp_directory_path() / "tavlog_png";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const std::filesystem::path path = dir / (name + ".png");
  return RenderForm(form).SaveToPng(path) ? path.string() : std::string();
}

}  // namespace tav::snapshot
