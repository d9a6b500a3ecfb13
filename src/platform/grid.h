// The string grid (also usable as a draw grid): a table of text cells with
// fixed title rows/columns, scrolling, a current cell, column moving and
// owner drawing.
//
// Coordinates: the grid's client area starts at the control's top left (the
// grid has no border); scroll bars, when shown, take kScrollBarSize pixels
// at the right and bottom and are painted by the grid itself. Each column c
// is ColWidth(c) pixels wide followed by a grid line of GridLineWidth pixels;
// rows likewise. Fixed rows/columns always stay in view; the others scroll.
//
// Typical use:
//   auto* g = form->Make<TStringGrid>("DBook");
//   g->SetColCount(18); g->SetRowCount(n + 4); g->SetFixedRows(2); g->SetFixedCols(0);
//   g->Options |= goRowSelect | goColMoving;
//   g->SetDefaultColWidth(120);
//   g->Cells(0, 0) = "Date";                 // write (marks the grid for repainting)
//   const std::string& s = g->Cell(0, 2);    // read ("" outside the grid)
//   g->OnDrawCell = [](TControl*, TCanvas& cv, int col, int row, const TRect& r, TGridDrawState st) {...};
//
// Events (only user input fires them; setting properties from code does not):
//  - OnSelectCell(col, row, can_select): before the current cell moves by a
//    click, a drag over cells or a key; clearing can_select keeps the old one.
//  - OnMouseDown/Move/Up, OnClick, OnDblClick: as for every control; the grid
//    moves the current cell on mouse down before OnMouseDown runs, so the
//    handler sees the new Row()/Col(). Presses on the scroll bars fire none
//    of them.
//  - OnDrawCell: for every painted cell, after the grid drew it (background,
//    text at Left + 2, Top + CellTextTop) when DefaultDrawing is on. The canvas is NOT
//    clipped to the cell (only to the grid's client area); its font is the
//    grid's Font at the start of each cell.
//  - OnTopLeftChanged: after the user scrolled (wheel, scroll bar, keys).
//  - OnColumnMoved(from, to): the user dragged the title cell of column
//    `from` (goColMoving) to position `to`; the grid has already moved that
//    column's cells and width when it fires.
// Keys: arrows, PageUp/PageDown, Home/End (first/last column, or first/last
// row with Ctrl or goRowSelect). The wheel scrolls three rows per notch.
// Cell editing (goEditing) is not offered.
// A grid made larger keeps its scroll position only as far as the view stays
// filled: scrolled to its end, it scrolls back so its last rows (columns)
// reach the bottom (right) instead of leaving blank space.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/controls.h"

namespace tav {

enum TGridOption : unsigned {
  goFixedVertLine = 1u << 0,
  goFixedHorzLine = 1u << 1,
  goVertLine = 1u << 2,
  goHorzLine = 1u << 3,
  goRangeSelect = 1u << 4,
  goDrawFocusSelected = 1u << 5,
  goRowSizing = 1u << 6,
  goColSizing = 1u << 7,   // title cell edges can be dragged to size columns
  goRowMoving = 1u << 8,
  goColMoving = 1u << 9,   // title cells can be dragged to move columns
  goEditing = 1u << 10,
  goTabs = 1u << 11,
  goRowSelect = 1u << 12,  // the whole current row is selected
  goThumbTracking = 1u << 13,
};

struct TGridDrawState {
  bool Selected = false;  // the current cell, or any cell of the current row with goRowSelect
  bool Focused = false;   // the current cell itself
  bool Fixed = false;     // a fixed (title) cell
};

struct TGridCoord {
  int X = -1;  // column
  int Y = -1;  // row
  bool operator==(const TGridCoord&) const = default;
};

class TStringGrid : public TControl {
 public:
  static constexpr int kScrollBarSize = 16;

  TStringGrid();

  // ---- Size of the table. Counts are at least 1. The fixed counts in use
  // leave at least one scrolling row/column; the counts as set come back
  // when the table grows again. Kept cells stay, new ones are empty, new
  // columns/rows get the default width/height.
  int ColCount() const { return col_count_; }
  int RowCount() const { return row_count_; }
  void SetColCount(int n);
  void SetRowCount(int n);
  int FixedCols() const { return fixed_cols_; }
  int FixedRows() const { return fixed_rows_; }
  void SetFixedCols(int n);
  void SetFixedRows(int n);

  // ---- Cells. Cells() gives a writable reference and marks the grid for
  // repainting; outside the table it gives a scratch string whose writes are
  // dropped. Cell() reads ("" outside).
  std::string& Cells(int col, int row);
  const std::string& Cell(int col, int row) const;
  void ClearCells();
  // Bumped by every write access (Cells(), ClearCells, size and column moves).
  uint64_t CellsVersion() const { return cells_version_; }

  // ---- Column widths and row heights. SetDefaultColWidth/-RowHeight set
  // every column/row. Widths and heights are at least 0; bad indexes read 0
  // and are ignored when written.
  int DefaultColWidth() const { return default_col_width_; }
  int DefaultRowHeight() const { return default_row_height_; }
  void SetDefaultColWidth(int w);
  void SetDefaultRowHeight(int h);
  int ColWidth(int col) const;
  int RowHeight(int row) const;
  void SetColWidth(int col, int w);
  void SetRowHeight(int row, int h);
  int GridLineWidth = 1;

  // ---- Current cell and scrolling. Setters clamp to the scrolling part,
  // bring the cell into view and fire nothing.
  int Row() const { return row_; }
  int Col() const { return col_; }
  void SetRow(int row);
  void SetCol(int col);
  void FocusCell(int col, int row) { SetCol(col); SetRow(row); }
  int TopRow() const { FitToSize(); return top_row_; }
  int LeftCol() const { FitToSize(); return left_col_; }
  void SetTopRow(int row);   // clamped to FixedRows()..MaxTopRow()
  void SetLeftCol(int col);  // clamped to FixedCols()..MaxLeftCol()
  // The largest top row / left column that still fills the view.
  int MaxTopRow() const;
  int MaxLeftCol() const;
  // Scrolling rows/columns wholly in view from TopRow/LeftCol (at least 1 while any exists).
  int VisibleRowCount() const;
  int VisibleColCount() const;

  // ---- Look.
  unsigned Options = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
  TColor FixedColor = clBtnFace;
  TColor GridLineColor = 0xC0C0C0;
  TColor FixedLineColor = 0x808080;
  TColor SelectedColor = 0xD77800;      // highlight
  TColor SelectedFontColor = clWhite;
  bool DefaultDrawing = true;
  int CellTextTop = 2;  // the default drawing's text, this many pixels below the cell's top
  TScrollStyle ScrollBars = TScrollStyle::ssBoth;

  // ---- Geometry, in the grid's coordinates.
  // Client size: the control less the scroll bars shown.
  int ClientWidth() const override;
  int ClientHeight() const override;
  bool VerticalScrollBarShown() const;
  bool HorizontalScrollBarShown() const;
  // The rectangle of a cell in view (without its grid lines, cut to the
  // client area); an empty TRect when the cell is not in view or does not exist.
  TRect CellRect(int col, int row) const;
  // The cell under a client point: true with col/row set; false with both -1
  // outside every cell (grid lines count to the cell on their left/top).
  bool MouseToCell(int x, int y, int& col, int& row) const;
  TGridCoord MouseCoord(int x, int y) const;

  // While painting: the paint canvas. Otherwise a canvas for measuring text
  // (its Font is kept between calls; drawing on it shows nowhere). To change
  // the font used in painting, set Font.
  TCanvas& Canvas();

  // Moves column `from` to position `to` with its cells and width (no event).
  void MoveColumn(int from, int to);

  // ---- Events (see the top of the file).
  std::function<void(TControl* sender, TCanvas& canvas, int col, int row, const TRect& rect, TGridDrawState state)>
      OnDrawCell;
  std::function<void(TControl* sender, int col, int row, bool& can_select)> OnSelectCell;
  TNotifyEvent OnTopLeftChanged;
  std::function<void(TControl* sender, int from, int to)> OnColumnMoved;

  // ---- Window side.
  bool CustomDrawn() const override { return true; }
  void Paint(TCanvas& canvas) override;
  void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DoMouseMove(TShiftState shift, int x, int y) override;
  void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // Presses on the scroll bars give no mouse up, click or double click.
  void DoClick() override;
  void DoDblClick() override;
  void DoKeyDown(WORD& key, TShiftState shift) override;
  // Wheel: delta in eighths of a degree (120 per notch, positive away from the user).
  bool DoMouseWheel(TShiftState shift, int delta, int x, int y) override;

  // The user's scroll and selection steps, as the mouse and keys do them
  // (they fire OnSelectCell and OnTopLeftChanged).
  bool UserSelectCell(int col, int row);
  void UserScrollTo(int top_row, int left_col);

 private:
  struct Layout {
    bool vbar = false, hbar = false;
    int client_w = 0, client_h = 0;
  };
  Layout ComputeLayout() const;
  // One direction of the table, columns or rows (grid.cpp): the same
  // measuring, hit testing and scrolling serve both.
  struct Axis;
  Axis Cols(const Layout& lay) const;
  Axis Rows(const Layout& lay) const;
  TRect VTrack(const Layout& lay) const;
  TRect HTrack(const Layout& lay) const;
  TRect VThumb(const Layout& lay) const;
  TRect HThumb(const Layout& lay) const;
  // A left press on a scroll bar at p along it: scrolls, or starts dragging the thumb.
  void ScrollBarPress(bool vertical, int p, const Layout& lay);
  void PaintScrollBars(TCanvas& canvas, const Layout& lay);
  void ClampAll();
  // Scrolls back as far as a changed size or column width asks (see the top
  // of the file); only the scroll position changes, so const readers may.
  void FitToSize() const {
    if (Width != fitted_width_ || Height != fitted_height_) Refit();
  }
  void Refit() const;
  void ScrollIntoView(int col, int row, bool user);
  void Changed() { ++cells_version_; Invalidate(); }

  int col_count_ = 5, row_count_ = 5, fixed_cols_ = 1, fixed_rows_ = 1;
  int fixed_cols_wanted_ = 1, fixed_rows_wanted_ = 1;  // as set; the counts above are cut to fit
  int default_col_width_ = 64, default_row_height_ = 24;
  std::vector<std::string> cells_;  // row-major: row * col_count_ + col
  std::vector<int> col_widths_, row_heights_;
  int row_ = 1, col_ = 1;
  mutable int top_row_ = 1, left_col_ = 1;
  mutable int fitted_width_ = -1, fitted_height_ = -1;  // the size the scroll position was fitted to
  uint64_t cells_version_ = 0;
  std::string scratch_;
  TCanvas* paint_canvas_ = nullptr;
  TBitmap measure_{1, 1};

  bool press_on_bar_ = false;  // the last press was on a scroll bar
  enum class Drag { None, Select, ColMove, ColSize, VThumb, HThumb };
  Drag drag_ = Drag::None;
  int drag_col_ = -1;      // column being moved or sized
  int drag_target_ = -1;   // insertion position while moving
  int drag_start_ = 0;     // mouse position at the press (x or y)
  int drag_origin_ = 0;    // width / top row / left column at the press
};

}  // namespace tav
