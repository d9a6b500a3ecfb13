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

inline void PaintControlOutline(TCanvas& cv, TControl& c, int x, int y) {
  const TRect r{x, y, x + c.Width, y + c.Height};
  cv.Font = c.Font;
  // Lines of text from (tx, ty) down, transparent and clipped to the control.
  auto texts = [&](int tx, int ty, const std::vector<std::string>& lines) {
    cv.Font.Color = c.Enabled ? c.Font.Color : clGray;
    cv.Brush.Style = TBrushStyle::bsClear;
    cv.SetClipRect(r);
    for (const std::string& s : lines) {
      cv.TextOut(tx, ty, s);
      ty += cv.TextHeight("Ag");
    }
    cv.ClearClipRect();
    cv.Brush.Style = TBrushStyle::bsSolid;
  };
  auto centred_text = [&](const std::string& s) {
    texts(r.Left + (c.Width - cv.TextWidth(s)) / 2, r.Top + (c.Height - cv.TextHeight("Ag")) / 2, {s});
  };
  auto box = [&](TColor fill, TColor frame) {
    cv.Brush.Style = TBrushStyle::bsSolid;
    cv.Brush.Color = fill;
    cv.FillRect(r);
    cv.Brush.Color = frame;
    cv.FrameRect(r);
  };
  switch (c.Kind()) {
    case TControlKind::Panel:
    case TControlKind::GroupBox: {
      if (c.Color != clNone) {
        cv.Brush.Color = c.Color;
        cv.FillRect(r);
      }
      auto* p = dynamic_cast<TPanel*>(&c);
      if (!p || p->BevelOuter != TBevelCut::bvNone) {
        cv.Brush.Color = 0xA0A0A0;
        cv.FrameRect(r);
      }
      if (!c.Caption.empty()) centred_text(c.Caption);
      break;
    }
    case TControlKind::Label:
    case TControlKind::StaticText:
      texts(r.Left, r.Top, {c.Caption});
      break;
    case TControlKind::SpeedButton:
    case TControlKind::Button: {
      auto* sb = dynamic_cast<TSpeedButton*>(&c);
      const bool down = sb && sb->Down;
      box(down ? 0xD8D8D8 : 0xF4F4F4, down ? 0x606060 : 0xA8A8A8);
      centred_text(c.Caption);
      break;
    }
    case TControlKind::Edit:
    case TControlKind::ComboBox:
    case TControlKind::DateTimePicker: {
      box(c.Enabled ? clWhite : 0xF0F0F0, 0x909090);
      if (auto* e = dynamic_cast<TEdit*>(&c)) texts(r.Left + 4, r.Top + 3, {e->Text});
      if (auto* cb = dynamic_cast<TComboBox*>(&c)) texts(r.Left + 4, r.Top + 3, {cb->Text});
      if (c.Kind() != TControlKind::Edit) {
        cv.Brush.Color = 0xE0E0E0;
        cv.FillRect({r.Right - 17, r.Top + 1, r.Right - 1, r.Bottom - 1});
      }
      break;
    }
    case TControlKind::Memo:
    case TControlKind::RichEdit:
    case TControlKind::ListBox:
      box(clWhite, 0x909090);
      if (auto* m = dynamic_cast<TMemo*>(&c)) texts(r.Left + 4, r.Top + 3, m->Lines.Lines());
      if (auto* l = dynamic_cast<TListBox*>(&c)) texts(r.Left + 4, r.Top + 3, l->Items.Lines());
      break;
    case TControlKind::ProgressBar:
      box(0xE6E6E6, 0xB0B0B0);
      break;
    default:
      break;
  }
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
