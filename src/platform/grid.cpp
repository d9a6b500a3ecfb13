#include "platform/grid.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

namespace tav {

namespace {
constexpr int kNotInView = INT_MIN;
constexpr int kSizingSlack = 3;
constexpr int kMinThumb = 10;

struct PaintCanvasScope {
  TCanvas*& slot;
  PaintCanvasScope(TCanvas*& s, TCanvas* c) : slot(s) { slot = c; }
  ~PaintCanvasScope() { slot = nullptr; }
};
}  // namespace

// One direction of the table: the columns (sizes are their widths) or the
// rows (their heights). Each is followed by a grid line of gl pixels; the
// fixed ones always stay in view, then come the scrolling ones from first.
struct TStringGrid::Axis {
  const std::vector<int>& sizes;
  int fixed;   // fixed ones in use
  int first;   // the first scrolling one in view (LeftCol / TopRow)
  int extent;  // the client width / height
  int gl;

  int Count() const { return static_cast<int>(sizes.size()); }

  // The fixed ones with their lines.
  int FixedExtent() const {
    int p = 0;
    for (int i = 0; i < fixed; ++i) p += sizes[i] + gl;
    return p;
  }

  // The largest first one that still fills the view.
  int MaxFirst() const {
    const int avail = extent - FixedExtent();
    int t = Count() - 1;
    if (t < fixed) return fixed;
    int used = sizes[t] + gl;
    while (t - 1 >= fixed && used + sizes[t - 1] + gl <= avail) {
      --t;
      used += sizes[t] + gl;
    }
    return std::max(fixed, t);
  }

  int ClampFirst(int f) const { return std::clamp(f, fixed, MaxFirst()); }

  // Scrolling ones wholly in view from first (at least 1 while any exists).
  int VisibleCount() const {
    int p = FixedExtent(), n = 0;
    for (int i = first; i < Count(); ++i) {
      if (p + sizes[i] > extent) break;
      p += sizes[i] + gl;
      ++n;
    }
    return std::max(n, Count() > fixed ? 1 : 0);
  }

  // The leading edge of i in view, or kNotInView.
  int Offset(int i) const {
    if (i < 0 || i >= Count()) return kNotInView;
    int p = 0;
    if (i < fixed) {
      for (int k = 0; k < i; ++k) p += sizes[k] + gl;
    } else {
      if (i < first) return kNotInView;
      p = FixedExtent();
      for (int k = first; k < i && p < extent; ++k) p += sizes[k] + gl;
    }
    return p < extent ? p : kNotInView;
  }

  // The one under p (its line counts to it), or -1.
  int At(int p) const {
    if (p < 0 || p >= extent) return -1;
    int end = 0;
    for (int i = 0; i < fixed; ++i) {
      end += sizes[i] + gl;
      if (p < end) return i;
    }
    for (int i = first; i < Count(); ++i) {
      end += sizes[i] + gl;
      if (p < end) return i;
      if (end >= extent) break;
    }
    return -1;
  }

  // The ones in view, each with its leading edge.
  std::vector<std::pair<int, int>> InView() const {
    std::vector<std::pair<int, int>> out;
    int p = 0;
    for (int i = 0; i < fixed && p < extent; ++i) {
      out.emplace_back(i, p);
      p += sizes[i] + gl;
    }
    for (int i = first; i < Count() && p < extent; ++i) {
      out.emplace_back(i, p);
      p += sizes[i] + gl;
    }
    return out;
  }

  // The first one in view once i is scrolled into view whole (i itself when
  // it is larger than the view); first when i does not scroll.
  int FirstShowing(int i) const {
    if (i < fixed || i >= Count()) return first;
    const int avail = extent - FixedExtent();
    long long span = sizes[i];
    int t = i;
    while (t - 1 >= fixed && span + sizes[t - 1] + gl <= avail) {
      --t;
      span += sizes[t] + gl;
    }
    if (i < first) return i;
    return first < t ? t : first;
  }

  // Position and length of the scroll bar thumb on a track of len pixels.
  std::pair<int, int> Thumb(int len) const {
    const int range = MaxFirst() - fixed;
    const int total = std::max(1, Count() - fixed);
    const int thumb = range <= 0 ? len : std::clamp(len * VisibleCount() / total, std::min(kMinThumb, len), len);
    const int pos = range <= 0 ? 0 : (len - thumb) * (first - fixed) / range;
    return {pos, thumb};
  }

  // The first one after the thumb on a track of len pixels was dragged
  // moved pixels from where it stood when origin was first; nothing when the
  // bar cannot scroll.
  std::optional<int> Dragged(int len, int origin, int moved) const {
    const int free_len = len - Thumb(len).second;
    const int range = MaxFirst() - fixed;
    if (free_len <= 0 || range <= 0) return std::nullopt;
    return origin + static_cast<int>((static_cast<long long>(moved) * range + free_len / 2) / free_len);
  }
};

TStringGrid::Axis TStringGrid::Cols(const Layout& lay) const {
  FitToSize();
  return Axis{col_widths_, fixed_cols_, left_col_, lay.client_w, std::max(0, GridLineWidth)};
}

TStringGrid::Axis TStringGrid::Rows(const Layout& lay) const {
  FitToSize();
  return Axis{row_heights_, fixed_rows_, top_row_, lay.client_h, std::max(0, GridLineWidth)};
}

TStringGrid::TStringGrid() : TControl(TControlKind::StringGrid) {
  Width = 320;
  Height = 120;
  Color = clWindow;
  cells_.resize(static_cast<size_t>(col_count_) * row_count_);
  col_widths_.assign(col_count_, default_col_width_);
  row_heights_.assign(row_count_, default_row_height_);
}

// ---------------------------------------------------------------- size

void TStringGrid::SetColCount(int n) {
  n = std::max(1, n);
  if (n == col_count_) return;
  std::vector<std::string> next(static_cast<size_t>(n) * row_count_);
  int keep = std::min(n, col_count_);
  for (int r = 0; r < row_count_; ++r)
    for (int c = 0; c < keep; ++c)
      next[static_cast<size_t>(r) * n + c] = std::move(cells_[static_cast<size_t>(r) * col_count_ + c]);
  cells_ = std::move(next);
  col_widths_.resize(n, default_col_width_);
  col_count_ = n;
  ClampAll();
  Changed();
}

void TStringGrid::SetRowCount(int n) {
  n = std::max(1, n);
  if (n == row_count_) return;
  cells_.resize(static_cast<size_t>(n) * col_count_);
  row_heights_.resize(n, default_row_height_);
  row_count_ = n;
  ClampAll();
  Changed();
}

void TStringGrid::SetFixedCols(int n) {
  fixed_cols_wanted_ = std::max(0, n);
  ClampAll();
  Invalidate();
}

void TStringGrid::SetFixedRows(int n) {
  fixed_rows_wanted_ = std::max(0, n);
  ClampAll();
  Invalidate();
}

void TStringGrid::Refit() const {
  fitted_width_ = Width;
  fitted_height_ = Height;
  const Layout lay = ComputeLayout();
  top_row_ = Rows(lay).ClampFirst(top_row_);
  left_col_ = Cols(lay).ClampFirst(left_col_);
}

void TStringGrid::ClampAll() {
  fixed_cols_ = std::min(fixed_cols_wanted_, col_count_ - 1);
  fixed_rows_ = std::min(fixed_rows_wanted_, row_count_ - 1);
  row_ = std::clamp(row_, fixed_rows_, row_count_ - 1);
  col_ = std::clamp(col_, fixed_cols_, col_count_ - 1);
  const Layout lay = ComputeLayout();
  top_row_ = Rows(lay).ClampFirst(top_row_);
  left_col_ = Cols(lay).ClampFirst(left_col_);
}

// ---------------------------------------------------------------- cells

std::string& TStringGrid::Cells(int col, int row) {
  if (col < 0 || row < 0 || col >= col_count_ || row >= row_count_) {
    scratch_.clear();
    return scratch_;
  }
  Changed();
  return cells_[static_cast<size_t>(row) * col_count_ + col];
}

const std::string& TStringGrid::Cell(int col, int row) const {
  static const std::string empty;
  if (col < 0 || row < 0 || col >= col_count_ || row >= row_count_) return empty;
  return cells_[static_cast<size_t>(row) * col_count_ + col];
}

void TStringGrid::ClearCells() {
  for (std::string& s : cells_) s.clear();
  Changed();
}

// ---------------------------------------------------------------- widths and heights

void TStringGrid::SetDefaultColWidth(int w) {
  default_col_width_ = std::max(0, w);
  std::fill(col_widths_.begin(), col_widths_.end(), default_col_width_);
  ClampAll();
  Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int h) {
  default_row_height_ = std::max(0, h);
  std::fill(row_heights_.begin(), row_heights_.end(), default_row_height_);
  ClampAll();
  Invalidate();
}

int TStringGrid::ColWidth(int col) const {
  return col >= 0 && col < col_count_ ? col_widths_[col] : 0;
}

int TStringGrid::RowHeight(int row) const {
  return row >= 0 && row < row_count_ ? row_heights_[row] : 0;
}

void TStringGrid::SetColWidth(int col, int w) {
  if (col < 0 || col >= col_count_) return;
  col_widths_[col] = std::max(0, w);
  fitted_width_ = -1;
  Invalidate();
}

void TStringGrid::SetRowHeight(int row, int h) {
  if (row < 0 || row >= row_count_) return;
  row_heights_[row] = std::max(0, h);
  fitted_height_ = -1;
  Invalidate();
}

// ---------------------------------------------------------------- layout

TStringGrid::Layout TStringGrid::ComputeLayout() const {
  const int gl = std::max(0, GridLineWidth);
  long long total_w = 0, total_h = 0;
  for (int w : col_widths_) total_w += w + gl;
  for (int h : row_heights_) total_h += h + gl;
  bool allow_h = ScrollBars == TScrollStyle::ssHorizontal || ScrollBars == TScrollStyle::ssBoth;
  bool allow_v = ScrollBars == TScrollStyle::ssVertical || ScrollBars == TScrollStyle::ssBoth;
  Layout lay;
  for (int i = 0; i < 3; ++i) {
    int cw = Width - (lay.vbar ? kScrollBarSize : 0);
    int ch = Height - (lay.hbar ? kScrollBarSize : 0);
    lay.hbar = allow_h && total_w > cw;
    lay.vbar = allow_v && total_h > ch;
  }
  lay.client_w = std::max(0, Width - (lay.vbar ? kScrollBarSize : 0));
  lay.client_h = std::max(0, Height - (lay.hbar ? kScrollBarSize : 0));
  return lay;
}

int TStringGrid::ClientWidth() const { return ComputeLayout().client_w; }
int TStringGrid::ClientHeight() const { return ComputeLayout().client_h; }
bool TStringGrid::VerticalScrollBarShown() const { return ComputeLayout().vbar; }
bool TStringGrid::HorizontalScrollBarShown() const { return ComputeLayout().hbar; }

int TStringGrid::MaxTopRow() const { return Rows(ComputeLayout()).MaxFirst(); }
int TStringGrid::MaxLeftCol() const { return Cols(ComputeLayout()).MaxFirst(); }
int TStringGrid::VisibleRowCount() const { return Rows(ComputeLayout()).VisibleCount(); }
int TStringGrid::VisibleColCount() const { return Cols(ComputeLayout()).VisibleCount(); }

TRect TStringGrid::CellRect(int col, int row) const {
  Layout lay = ComputeLayout();
  int x = Cols(lay).Offset(col), y = Rows(lay).Offset(row);
  if (x == kNotInView || y == kNotInView) return {};
  TRect r{x, y, std::min(x + col_widths_[col], lay.client_w), std::min(y + row_heights_[row], lay.client_h)};
  if (r.Width() <= 0 || r.Height() <= 0) return {};
  return r;
}

bool TStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
  Layout lay = ComputeLayout();
  int c = Cols(lay).At(x), r = Rows(lay).At(y);
  if (c < 0 || r < 0) {
    col = row = -1;
    return false;
  }
  col = c;
  row = r;
  return true;
}

TGridCoord TStringGrid::MouseCoord(int x, int y) const {
  TGridCoord g;
  MouseToCell(x, y, g.X, g.Y);
  return g;
}

TCanvas& TStringGrid::Canvas() {
  if (paint_canvas_ != nullptr) return *paint_canvas_;
  return measure_.Canvas();
}

// ---------------------------------------------------------------- current cell and scrolling

void TStringGrid::SetRow(int row) {
  row_ = std::clamp(row, fixed_rows_, row_count_ - 1);
  ScrollIntoView(col_, row_, false);
  Invalidate();
}

void TStringGrid::SetCol(int col) {
  col_ = std::clamp(col, fixed_cols_, col_count_ - 1);
  ScrollIntoView(col_, row_, false);
  Invalidate();
}

void TStringGrid::SetTopRow(int row) {
  top_row_ = Rows(ComputeLayout()).ClampFirst(row);
  Invalidate();
}

void TStringGrid::SetLeftCol(int col) {
  left_col_ = Cols(ComputeLayout()).ClampFirst(col);
  Invalidate();
}

void TStringGrid::ScrollIntoView(int col, int row, bool user) {
  const Layout lay = ComputeLayout();
  const Axis rows = Rows(lay), cols = Cols(lay);
  const int top = rows.FirstShowing(row);
  const int left = (Options & goRowSelect) ? left_col_ : cols.FirstShowing(col);
  if (user) {
    UserScrollTo(top, left);
  } else {
    top_row_ = rows.ClampFirst(top);
    left_col_ = cols.ClampFirst(left);
  }
}

bool TStringGrid::UserSelectCell(int col, int row) {
  col = std::clamp(col, fixed_cols_, col_count_ - 1);
  row = std::clamp(row, fixed_rows_, row_count_ - 1);
  bool can = true;
  Fire(OnSelectCell, this, col, row, can);
  if (!can) return false;
  col_ = col;
  row_ = row;
  Invalidate();
  ScrollIntoView(col, row, true);
  return true;
}

void TStringGrid::UserScrollTo(int top_row, int left_col) {
  const Layout lay = ComputeLayout();
  const int top = Rows(lay).ClampFirst(top_row);
  const int left = Cols(lay).ClampFirst(left_col);
  if (top == top_row_ && left == left_col_) return;
  top_row_ = top;
  left_col_ = left;
  Invalidate();
  Fire(OnTopLeftChanged, this);
}

void TStringGrid::MoveColumn(int from, int to) {
  if (from < 0 || to < 0 || from >= col_count_ || to >= col_count_ || from == to) return;
  for (int r = 0; r < row_count_; ++r) {
    auto row_begin = cells_.begin() + static_cast<std::ptrdiff_t>(r) * col_count_;
    if (from < to)
      std::rotate(row_begin + from, row_begin + from + 1, row_begin + to + 1);
    else
      std::rotate(row_begin + to, row_begin + from, row_begin + from + 1);
  }
  if (from < to)
    std::rotate(col_widths_.begin() + from, col_widths_.begin() + from + 1, col_widths_.begin() + to + 1);
  else
    std::rotate(col_widths_.begin() + to, col_widths_.begin() + from, col_widths_.begin() + from + 1);
  if (col_ == from)
    col_ = to;
  else if (from < col_ && col_ <= to)
    --col_;
  else if (to <= col_ && col_ < from)
    ++col_;
  ClampAll();
  Changed();
}

// ---------------------------------------------------------------- scroll bars

TRect TStringGrid::VTrack(const Layout& lay) const {
  return {lay.client_w, kScrollBarSize, lay.client_w + kScrollBarSize, std::max(kScrollBarSize, lay.client_h - kScrollBarSize)};
}

TRect TStringGrid::HTrack(const Layout& lay) const {
  return {kScrollBarSize, lay.client_h, std::max(kScrollBarSize, lay.client_w - kScrollBarSize), lay.client_h + kScrollBarSize};
}

TRect TStringGrid::VThumb(const Layout& lay) const {
  const TRect t = VTrack(lay);
  const auto [pos, len] = Rows(lay).Thumb(t.Height());
  return {t.Left, t.Top + pos, t.Right, t.Top + pos + len};
}

TRect TStringGrid::HThumb(const Layout& lay) const {
  const TRect t = HTrack(lay);
  const auto [pos, len] = Cols(lay).Thumb(t.Width());
  return {t.Left + pos, t.Top, t.Left + pos + len, t.Bottom};
}

void TStringGrid::ScrollBarPress(bool vertical, int p, const Layout& lay) {
  const Axis axis = vertical ? Rows(lay) : Cols(lay);
  const TRect thumb = vertical ? VThumb(lay) : HThumb(lay);
  const int thumb_start = vertical ? thumb.Top : thumb.Left, thumb_end = vertical ? thumb.Bottom : thumb.Right;
  const int bar_end = vertical ? lay.client_h : lay.client_w;
  int first = axis.first;
  if (p < kScrollBarSize) {
    first -= 1;  // the arrows
  } else if (p >= bar_end - kScrollBarSize) {
    first += 1;
  } else if (p < thumb_start) {
    first -= axis.VisibleCount();  // a page
  } else if (p >= thumb_end) {
    first += axis.VisibleCount();
  } else {
    drag_ = vertical ? Drag::VThumb : Drag::HThumb;
    drag_start_ = p;
    drag_origin_ = axis.first;
    Invalidate();
    return;
  }
  if (vertical)
    UserScrollTo(first, left_col_);
  else
    UserScrollTo(top_row_, first);
}

namespace {
void Arrow(TCanvas& cv, const TRect& box, int dir) {  // 0 up, 1 down, 2 left, 3 right
  cv.Brush.Style = TBrushStyle::bsSolid;
  cv.Brush.Color = 0xF0F0F0;
  cv.FillRect(box);
  cv.Brush.Color = 0xA0A0A0;
  cv.FrameRect(box);
  int cx = (box.Left + box.Right) / 2, cy = (box.Top + box.Bottom) / 2;
  cv.Brush.Color = 0x404040;
  for (int i = 0; i < 4; ++i) {
    switch (dir) {
      case 0: cv.FillRect({cx - i, cy - 2 + i, cx + i + 1, cy - 1 + i}); break;
      case 1: cv.FillRect({cx - i, cy + 1 - i, cx + i + 1, cy + 2 - i}); break;
      case 2: cv.FillRect({cx - 2 + i, cy - i, cx - 1 + i, cy + i + 1}); break;
      default: cv.FillRect({cx + 1 - i, cy - i, cx + 2 - i, cy + i + 1}); break;
    }
  }
}
}  // namespace

void TStringGrid::PaintScrollBars(TCanvas& cv, const Layout& lay) {
  cv.ClearClipRect();
  cv.Pen = TPen{};
  if (lay.vbar) {
    Arrow(cv, {lay.client_w, 0, lay.client_w + kScrollBarSize, kScrollBarSize}, 0);
    Arrow(cv, {lay.client_w, lay.client_h - kScrollBarSize, lay.client_w + kScrollBarSize, lay.client_h}, 1);
    cv.Brush.Color = 0xE8E8E8;
    cv.FillRect(VTrack(lay));
    cv.Brush.Color = drag_ == Drag::VThumb ? 0x909090 : 0xC0C0C0;
    TRect th = VThumb(lay);
    cv.FillRect({th.Left + 2, th.Top, th.Right - 2, th.Bottom});
  }
  if (lay.hbar) {
    Arrow(cv, {0, lay.client_h, kScrollBarSize, lay.client_h + kScrollBarSize}, 2);
    Arrow(cv, {lay.client_w - kScrollBarSize, lay.client_h, lay.client_w, lay.client_h + kScrollBarSize}, 3);
    cv.Brush.Color = 0xE8E8E8;
    cv.FillRect(HTrack(lay));
    cv.Brush.Color = drag_ == Drag::HThumb ? 0x909090 : 0xC0C0C0;
    TRect th = HThumb(lay);
    cv.FillRect({th.Left, th.Top + 2, th.Right, th.Bottom - 2});
  }
  if (lay.vbar && lay.hbar) {
    cv.Brush.Color = clBtnFace;
    cv.FillRect({lay.client_w, lay.client_h, Width, Height});
  }
}

// ---------------------------------------------------------------- painting

void TStringGrid::Paint(TCanvas& cv) {
  PaintCanvasScope scope(paint_canvas_, &cv);
  const int gl = std::max(0, GridLineWidth);
  Layout lay = ComputeLayout();
  const TRect client{0, 0, lay.client_w, lay.client_h};

  cv.ClearClipRect();
  cv.SetClipRect(client);
  cv.Pen = TPen{};
  cv.Brush = TBrush{Color, TBrushStyle::bsSolid};
  cv.FillRect(client);

  // Columns and rows in view, with their left / top edges.
  const std::vector<std::pair<int, int>> cols = Cols(lay).InView(), rows = Rows(lay).InView();

  // Grid lines first: owner drawing may paint over them.
  if (gl > 0) {
    for (auto [r, y] : rows) {
      int h = row_heights_[r];
      for (auto [c, x] : cols) {
        int w = col_widths_[c];
        bool fixed = r < fixed_rows_ || c < fixed_cols_;
        bool vert = (Options & (fixed ? goFixedVertLine : goVertLine)) != 0;
        bool horz = (Options & (fixed ? goFixedHorzLine : goHorzLine)) != 0;
        cv.Brush.Color = fixed ? FixedLineColor : GridLineColor;
        if (vert) cv.FillRect({x + w, y, x + w + gl, y + h + gl});
        if (horz) cv.FillRect({x, y + h, x + w + gl, y + h + gl});
      }
    }
  }

  const bool row_select = (Options & goRowSelect) != 0;
  for (auto [r, y] : rows) {
    int h = row_heights_[r];
    if (h <= 0) continue;
    for (auto [c, x] : cols) {
      int w = col_widths_[c];
      if (w <= 0) continue;
      TRect rect{x, y, x + w, y + h};
      TGridDrawState st;
      st.Fixed = r < fixed_rows_ || c < fixed_cols_;
      st.Focused = !st.Fixed && r == row_ && c == col_;
      st.Selected = !st.Fixed && r == row_ && (row_select || c == col_);
      cv.SetClipRect(client);
      cv.Font = Font;
      cv.Pen = TPen{};
      cv.Brush = TBrush{st.Fixed ? FixedColor : st.Selected ? SelectedColor : Color, TBrushStyle::bsSolid};
      if (DefaultDrawing) {
        if (st.Selected) cv.Font.Color = SelectedFontColor;
        cv.TextRect(rect, rect.Left + 2, rect.Top + CellTextTop, cells_[static_cast<size_t>(r) * col_count_ + c]);
        cv.Font = Font;
      } else {
        cv.FillRect(rect);
      }
      Fire(OnDrawCell, this, cv, c, r, rect, st);
    }
  }

  if (drag_ == Drag::ColMove && drag_target_ >= 0) {
    int x = Cols(lay).Offset(drag_target_);
    if (x != kNotInView) {
      if (drag_target_ > drag_col_) x += col_widths_[drag_target_];
      cv.SetClipRect(client);
      cv.Brush = TBrush{clBlack, TBrushStyle::bsSolid};
      cv.FillRect({x - 1, 0, x + 2, lay.client_h});
    }
  }

  PaintScrollBars(cv, lay);
  cv.ClearClipRect();
}

// ---------------------------------------------------------------- input

void TStringGrid::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  Layout lay = ComputeLayout();
  press_on_bar_ = x >= lay.client_w || y >= lay.client_h;
  // Scroll bars: they belong to the window frame, so no mouse event fires.
  if (lay.vbar && x >= lay.client_w && y < lay.client_h) {
    if (button == TMouseButton::mbLeft) ScrollBarPress(true, y, lay);
    return;
  }
  if (lay.hbar && y >= lay.client_h && x < lay.client_w) {
    if (button == TMouseButton::mbLeft) ScrollBarPress(false, x, lay);
    return;
  }
  if (x >= lay.client_w || y >= lay.client_h) return;

  int col = Cols(lay).At(x), row = Rows(lay).At(y);
  if (button == TMouseButton::mbLeft && Enabled) {
    if (row >= 0 && row < fixed_rows_) {
      // Title cells: size or move columns.
      int sized = -1;
      if (Options & goColSizing) {
        for (int c = std::max(0, col - 1); c <= col && c >= 0; ++c) {
          int cx = Cols(lay).Offset(c);
          if (cx != kNotInView && std::abs(x - (cx + col_widths_[c])) <= kSizingSlack) sized = c;
        }
      }
      if (sized >= 0) {
        drag_ = Drag::ColSize;
        drag_col_ = sized;
        drag_start_ = x;
        drag_origin_ = col_widths_[sized];
      } else if ((Options & goColMoving) && col >= fixed_cols_) {
        drag_ = Drag::ColMove;
        drag_col_ = col;
        drag_target_ = col;
        Invalidate();
      }
    } else if (row >= fixed_rows_ && col >= fixed_cols_) {
      UserSelectCell(col, row);
      drag_ = Drag::Select;
    }
  }
  TControl::DoMouseDown(button, shift, x, y);
}

void TStringGrid::DoMouseMove(TShiftState shift, int x, int y) {
  Layout lay = ComputeLayout();
  switch (drag_) {
    case Drag::VThumb:
      if (auto top = Rows(lay).Dragged(VTrack(lay).Height(), drag_origin_, y - drag_start_))
        UserScrollTo(*top, left_col_);
      return;
    case Drag::HThumb:
      if (auto left = Cols(lay).Dragged(HTrack(lay).Width(), drag_origin_, x - drag_start_))
        UserScrollTo(top_row_, *left);
      return;
    case Drag::ColSize:
      SetColWidth(drag_col_, drag_origin_ + x - drag_start_);
      break;
    case Drag::ColMove: {
      int c = Cols(lay).At(std::clamp(x, 0, std::max(0, lay.client_w - 1)));
      if (c >= fixed_cols_ && c != drag_target_) {
        drag_target_ = c;
        Invalidate();
      }
      break;
    }
    case Drag::Select: {
      const Axis rows = Rows(lay);
      int col = Cols(lay).At(std::clamp(x, 0, std::max(0, lay.client_w - 1)));
      int row = rows.At(y);
      if (y >= lay.client_h && top_row_ < rows.MaxFirst()) row = std::min(row_count_ - 1, row_ + 1);
      if (y < rows.FixedExtent() && top_row_ > fixed_rows_) row = std::max(fixed_rows_, row_ - 1);
      if (row >= fixed_rows_ && col >= fixed_cols_ && (row != row_ || (col != col_ && !(Options & goRowSelect))))
        UserSelectCell(col, row);
      break;
    }
    case Drag::None:
      break;
  }
  TControl::DoMouseMove(shift, x, y);
}

void TStringGrid::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  Drag was = drag_;
  drag_ = Drag::None;
  if (press_on_bar_) {
    if (was == Drag::VThumb || was == Drag::HThumb) Invalidate();
    return;
  }
  if (was == Drag::ColMove) {
    int from = drag_col_, to = drag_target_;
    drag_target_ = -1;
    Invalidate();
    if (to >= fixed_cols_ && to != from) {
      MoveColumn(from, to);
      Fire(OnColumnMoved, this, from, to);
    }
  }
  TControl::DoMouseUp(button, shift, x, y);
}

void TStringGrid::DoClick() {
  if (!press_on_bar_) TControl::DoClick();
}

void TStringGrid::DoDblClick() {
  if (!press_on_bar_) TControl::DoDblClick();
}

bool TStringGrid::DoMouseWheel(TShiftState, int delta, int, int) {
  FitToSize();
  int rows = -(delta / 40);  // three rows per notch
  if (rows == 0) rows = delta > 0 ? -1 : delta < 0 ? 1 : 0;
  int before = top_row_;
  UserScrollTo(top_row_ + rows, left_col_);
  return top_row_ != before;
}

void TStringGrid::DoKeyDown(WORD& key, TShiftState shift) {
  TControl::DoKeyDown(key, shift);
  if (key == 0 || !Enabled) return;
  FitToSize();
  const bool row_select = (Options & goRowSelect) != 0;
  const bool ctrl = (shift & ssCtrl) != 0;
  int row = row_, col = col_;
  switch (key) {
    case VK_UP: --row; break;
    case VK_DOWN: ++row; break;
    case VK_LEFT:
      if (row_select) {
        UserScrollTo(top_row_, left_col_ - 1);
        return;
      }
      --col;
      break;
    case VK_RIGHT:
      if (row_select) {
        UserScrollTo(top_row_, left_col_ + 1);
        return;
      }
      ++col;
      break;
    case VK_PRIOR: {
      int page = VisibleRowCount();
      UserScrollTo(top_row_ - page, left_col_);
      row -= page;
      break;
    }
    case VK_NEXT: {
      int page = VisibleRowCount();
      UserScrollTo(top_row_ + page, left_col_);
      row += page;
      break;
    }
    case VK_HOME:
      if (ctrl || row_select) row = fixed_rows_; else col = fixed_cols_;
      break;
    case VK_END:
      if (ctrl || row_select) row = row_count_ - 1; else col = col_count_ - 1;
      break;
    default:
      return;
  }
  row = std::clamp(row, fixed_rows_, row_count_ - 1);
  col = std::clamp(col, fixed_cols_, col_count_ - 1);
  if (row != row_ || col != col_) UserSelectCell(col, row);
}

}  // namespace tav
