// A row of speed buttons placed from left to right on a tool panel, each as
// wide as its caption needs: the tool bars of the trip views.
#pragma once

#include <algorithm>
#include <string>
#include <utility>

#include "platform/controls.h"

namespace tav {

class ToolRow {
 public:
  ToolRow(TForm& form, TControl* panel, int left, int top) : form_(form), panel_(panel), x_(left), top_(top) {}

  // A button of the row; a command the view does not offer stays disabled.
  TSpeedButton* Add(const char* name, std::string caption, std::string hint, bool enabled = false) {
    auto* b = form_.Make<TSpeedButton>(name, panel_);
    b->Caption = std::move(caption);
    b->Hint = std::move(hint);
    const int w = std::max({26, static_cast<int>(b->Caption.size()) * 7 + 10, CaptionFitWidth(*b, b->Caption)});
    b->SetBounds(x_, top_, w, 25);
    x_ += w + 2;
    b->Enabled = enabled;
    return b;
  }
  // Space between groups of buttons.
  void Gap() { x_ += 8; }

 private:
  TForm& form_;
  TControl* panel_;
  int x_;
  int top_;
};

}  // namespace tav
