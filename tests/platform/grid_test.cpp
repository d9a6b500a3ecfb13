#include "platform/grid.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/text.h"

namespace tav {
namespace {

// 5 columns of 50 px, rows of 20 px, 1-px lines, one fixed row and column,
// in a 200 x 100 control: 4 rows of 21 px fit under the title row.
struct GridFixture : ::testing::Test {
  TStringGrid g;
  void SetUp() override {
    g.SetBounds(0, 0, 200, 100);
    g.SetColCount(5);
    g.SetRowCount(20);
    g.SetDefaultColWidth(50);
    g.SetDefaultRowHeight(20);
    for (int r = 0; r < 20; ++r)
      for (int c = 0; c < 5; ++c) g.Cells(c, r) = Format("%d/%d", c, r);
  }
};

TEST_F(GridFixture, CellsResizeAndBadIndexes) {
  EXPECT_EQ(g.Cell(2, 3), "2/3");
  uint64_t v = g.CellsVersion();
  g.Cells(2, 3) = "x";
  EXPECT_GT(g.CellsVersion(), v);
  EXPECT_EQ(g.Cell(2, 3), "x");
  // Outside: reads are empty, writes go nowhere.
  EXPECT_EQ(g.Cell(5, 0), "");
  EXPECT_EQ(g.Cell(-1, 0), "");
  g.Cells(7, 99) = "lost";
  EXPECT_EQ(g.Cells(7, 99), "");
  // Growing keeps the cells, shrinking cuts them.
  g.SetColCount(7);
  EXPECT_EQ(g.Cell(4, 19), "4/19");
  EXPECT_EQ(g.Cell(6, 19), "");
  EXPECT_EQ(g.ColWidth(6), 50);
  g.SetColCount(3);
  g.SetRowCount(4);
  EXPECT_EQ(g.Cell(2, 3), "x");
  EXPECT_EQ(g.Cell(3, 3), "");
  g.SetColCount(5);
  EXPECT_EQ(g.Cell(4, 1), "");
  // Counts stay at least 1; fixed counts leave one scrolling row/column.
  g.SetFixedRows(2);
  g.SetRowCount(0);
  EXPECT_EQ(g.RowCount(), 1);
  EXPECT_EQ(g.FixedRows(), 0);
  g.SetRowCount(10);
  EXPECT_EQ(g.FixedRows(), 2);  // the fixed rows as set come back
  EXPECT_EQ(g.Row(), 2);
  g.SetFixedRows(50);
  EXPECT_EQ(g.FixedRows(), 9);
  EXPECT_EQ(g.ColWidth(99), 0);
  g.SetColWidth(99, 10);  // ignored
  g.SetRowHeight(-1, 10);
  g.ClearCells();
  EXPECT_EQ(g.Cell(0, 0), "");
}

TEST_F(GridFixture, CellRectAndMouseToCellFollowScrolling) {
  EXPECT_TRUE(g.VerticalScrollBarShown());
  EXPECT_TRUE(g.HorizontalScrollBarShown());  // 5 x 51 px do not fit 184 px
  EXPECT_EQ(g.ClientWidth(), 200 - TStringGrid::kScrollBarSize);
  EXPECT_EQ(g.ClientHeight(), 100 - TStringGrid::kScrollBarSize);
  EXPECT_EQ(g.CellRect(0, 0), (TRect{0, 0, 50, 20}));
  EXPECT_EQ(g.CellRect(1, 1), (TRect{51, 21, 101, 41}));
  EXPECT_EQ(g.CellRect(3, 2), (TRect{153, 42, 184, 62}));  // cut at the client edge
  EXPECT_EQ(g.CellRect(4, 1), TRect{});                    // out of view
  EXPECT_EQ(g.CellRect(9, 1), TRect{});
  int c = 7, r = 7;
  ASSERT_TRUE(g.MouseToCell(60, 30, c, r));
  EXPECT_EQ(c, 1);
  EXPECT_EQ(r, 1);
  ASSERT_TRUE(g.MouseToCell(50, 20, c, r));  // the grid lines belong to the cell before them
  EXPECT_EQ(c, 0);
  EXPECT_EQ(r, 0);
  EXPECT_FALSE(g.MouseToCell(190, 30, c, r));  // the scroll bar
  EXPECT_EQ(c, -1);
  EXPECT_EQ(r, -1);
  EXPECT_FALSE(g.MouseToCell(-1, 5, c, r));
  EXPECT_EQ(g.MouseCoord(60, 95), TGridCoord{});
  EXPECT_EQ(g.VisibleRowCount(), 3);  // rows 1..3 whole in 84 px
  EXPECT_EQ(g.VisibleColCount(), 2);

  g.SetTopRow(5);
  EXPECT_EQ(g.TopRow(), 5);
  EXPECT_EQ(g.CellRect(1, 5), (TRect{51, 21, 101, 41}));
  EXPECT_EQ(g.CellRect(1, 1), TRect{});
  EXPECT_EQ(g.CellRect(1, 0), (TRect{51, 0, 101, 20}));  // fixed rows stay
  EXPECT_EQ(g.MouseCoord(60, 30), (TGridCoord{1, 5}));
  g.SetLeftCol(3);
  EXPECT_EQ(g.MouseCoord(60, 30), (TGridCoord{3, 5}));
  EXPECT_EQ(g.MouseCoord(10, 30), (TGridCoord{0, 5}));

  // Scrolling stops where the last row is still whole at the bottom.
  g.SetTopRow(1000);
  EXPECT_EQ(g.TopRow(), g.MaxTopRow());
  EXPECT_EQ(g.MaxTopRow(), 17);
  EXPECT_EQ(g.MaxLeftCol(), 3);
  g.SetTopRow(-4);
  EXPECT_EQ(g.TopRow(), 1);
}

// Made larger (or given narrower columns) after scrolling to its end, the
// grid scrolls back: its last row and column end whole at the bottom right.
TEST_F(GridFixture, GrowingAfterScrollingToTheEndLeavesNoBlankRows) {
  for (auto [w, h, col_w] : {std::tuple{200, 300, 50}, {300, 100, 50}, {200, 100, 30}}) {
    SetUp();
    g.SetTopRow(1000), g.SetLeftCol(1000);
    g.SetBounds(0, 0, w, h);
    for (int c = 0; c < 5; ++c) g.SetColWidth(c, col_w);
    const TRect last = g.CellRect(4, 19);
    EXPECT_EQ(last.Height(), 20) << w << "x" << h;
    EXPECT_LT(g.ClientHeight() - last.Bottom, 21) << w << "x" << h;
    EXPECT_LT(g.ClientWidth() - last.Right, col_w + 1) << w << "x" << h;
  }
}

TEST_F(GridFixture, ScrollBarsOnlyWhenNeeded) {
  g.SetRowCount(3);
  g.SetColCount(2);
  EXPECT_FALSE(g.VerticalScrollBarShown());
  EXPECT_FALSE(g.HorizontalScrollBarShown());
  EXPECT_EQ(g.ClientWidth(), 200);
  EXPECT_EQ(g.MaxTopRow(), 1);
  g.ScrollBars = TScrollStyle::ssNone;
  g.SetRowCount(100);
  EXPECT_FALSE(g.VerticalScrollBarShown());
  EXPECT_EQ(g.ClientHeight(), 100);
}

TEST_F(GridFixture, CodeSettersFireNothingAndBringTheCellIntoView) {
  int selects = 0, scrolls = 0;
  g.OnSelectCell = [&](TControl*, int, int, bool&) { ++selects; };
  g.OnTopLeftChanged = [&](TControl*) { ++scrolls; };
  g.SetRow(10);
  EXPECT_EQ(g.Row(), 10);
  EXPECT_EQ(g.TopRow(), 8);  // row 10 is the last whole row
  g.SetRow(2);
  EXPECT_EQ(g.TopRow(), 2);
  g.SetCol(4);
  EXPECT_EQ(g.LeftCol(), 3);
  g.SetRow(500);
  EXPECT_EQ(g.Row(), 19);
  EXPECT_EQ(selects, 0);
  EXPECT_EQ(scrolls, 0);
}

TEST_F(GridFixture, KeysMoveTheCurrentCellAndScroll) {
  g.Options |= goRowSelect;
  std::vector<std::pair<int, int>> asked;
  int scrolls = 0;
  g.OnSelectCell = [&](TControl*, int c, int r, bool&) { asked.emplace_back(c, r); };
  g.OnTopLeftChanged = [&](TControl*) { ++scrolls; };
  WORD key = VK_DOWN;
  g.DoKeyDown(key, 0);
  EXPECT_EQ(g.Row(), 2);
  key = VK_NEXT;
  g.DoKeyDown(key, 0);
  EXPECT_EQ(g.Row(), 5);
  EXPECT_EQ(g.TopRow(), 4);
  EXPECT_GE(scrolls, 1);
  key = VK_END;  // with whole-row selection: the last row
  g.DoKeyDown(key, 0);
  EXPECT_EQ(g.Row(), 19);
  EXPECT_EQ(g.TopRow(), 17);
  key = VK_HOME;
  g.DoKeyDown(key, 0);
  EXPECT_EQ(g.Row(), 1);
  EXPECT_EQ(g.TopRow(), 1);
  key = VK_UP;  // already at the first scrolling row: nothing to ask
  size_t before = asked.size();
  g.DoKeyDown(key, 0);
  EXPECT_EQ(asked.size(), before);
  EXPECT_EQ(asked.front(), (std::pair<int, int>{1, 2}));
  // Right scrolls the columns with whole-row selection.
  key = VK_RIGHT;
  g.DoKeyDown(key, 0);
  EXPECT_EQ(g.LeftCol(), 2);
  EXPECT_EQ(g.Col(), 1);

  // A refusing handler keeps the cell.
  g.OnSelectCell = [](TControl*, int, int r, bool& can) { can = r != 2; };
  key = VK_DOWN;
  g.DoKeyDown(key, 0);
  EXPECT_EQ(g.Row(), 1);
  // A key consumed by the handler does nothing.
  g.OnKeyDown = [](TControl*, WORD& k, TShiftState) { k = 0; };
  key = VK_END;
  g.DoKeyDown(key, 0);
  EXPECT_EQ(g.Row(), 1);
}

TEST_F(GridFixture, ClicksSelectBeforeMouseDownAndNotOnTitles) {
  int row_seen = -1;
  g.OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int, int) { row_seen = g.Row(); };
  g.DoMouseDown(TMouseButton::mbLeft, 0, 60, 70);
  g.DoMouseUp(TMouseButton::mbLeft, 0, 60, 70);
  EXPECT_EQ(g.Row(), 3);
  EXPECT_EQ(g.Col(), 1);
  EXPECT_EQ(row_seen, 3);
  g.DoMouseDown(TMouseButton::mbLeft, 0, 60, 5);  // title row
  g.DoMouseUp(TMouseButton::mbLeft, 0, 60, 5);
  EXPECT_EQ(g.Row(), 3);
  g.DoMouseDown(TMouseButton::mbRight, 0, 60, 30);  // right button: no selection
  EXPECT_EQ(g.Row(), 3);
  g.DoMouseUp(TMouseButton::mbRight, 0, 60, 30);
  // Dragging over the rows moves the current row.
  g.DoMouseDown(TMouseButton::mbLeft, 0, 60, 25);
  EXPECT_EQ(g.Row(), 1);
  g.DoMouseMove(ssLeft, 60, 50);
  EXPECT_EQ(g.Row(), 2);
  // Below the grid's client area it scrolls on, a row per move.
  g.DoMouseMove(ssLeft, 60, 95);
  g.DoMouseMove(ssLeft, 60, 95);
  EXPECT_EQ(g.Row(), 4);
  EXPECT_EQ(g.TopRow(), 2);
  g.DoMouseUp(TMouseButton::mbLeft, 0, 60, 95);
}

TEST_F(GridFixture, DraggingATitleMovesTheColumnBeforeTheEvent) {
  g.Options |= goColMoving;
  g.SetFixedCols(0);
  g.SetColWidth(1, 30);
  int events = 0;
  g.OnColumnMoved = [&](TControl*, int from, int to) {
    ++events;
    EXPECT_EQ(from, 1);
    EXPECT_EQ(to, 3);
    EXPECT_EQ(g.Cell(3, 5), "1/5");  // already moved
    EXPECT_EQ(g.ColWidth(3), 30);
  };
  TRect title1 = g.CellRect(1, 0), title3 = g.CellRect(3, 0);
  g.DoMouseDown(TMouseButton::mbLeft, 0, title1.Left + 5, 5);
  g.DoMouseMove(ssLeft, title3.Left + 5, 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, title3.Left + 5, 5);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(g.Cell(1, 5), "2/5");
  EXPECT_EQ(g.Cell(2, 5), "3/5");
  EXPECT_EQ(g.Cell(3, 0), "1/0");
  EXPECT_EQ(g.Cell(4, 5), "4/5");
  EXPECT_EQ(g.ColWidth(1), 50);
  // Back again, right to left.
  g.OnColumnMoved = nullptr;
  g.MoveColumn(3, 1);
  EXPECT_EQ(g.Cell(1, 5), "1/5");
  EXPECT_EQ(g.ColWidth(1), 30);
  // A press and release on one title moves nothing.
  g.OnColumnMoved = [&](TControl*, int, int) { ++events; };
  g.DoMouseDown(TMouseButton::mbLeft, 0, 20, 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, 20, 5);
  EXPECT_EQ(events, 1);
  // Without goColMoving titles do not move.
  g.Options &= ~goColMoving;
  g.DoMouseDown(TMouseButton::mbLeft, 0, 20, 5);
  g.DoMouseMove(ssLeft, 120, 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, 120, 5);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(g.Cell(0, 5), "0/5");
}

TEST_F(GridFixture, TitleEdgesSizeColumns) {
  g.Options |= goColSizing;
  g.DoMouseDown(TMouseButton::mbLeft, 0, 100, 5);  // right edge of column 1
  g.DoMouseMove(ssLeft, 120, 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, 120, 5);
  EXPECT_EQ(g.ColWidth(1), 70);
  g.DoMouseDown(TMouseButton::mbLeft, 0, 120, 5);
  g.DoMouseMove(ssLeft, 0, 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, 0, 5);
  EXPECT_EQ(g.ColWidth(1), 0);
}

TEST_F(GridFixture, WheelAndScrollBarsScrollWithEvents) {
  int scrolls = 0;
  g.OnTopLeftChanged = [&](TControl*) { ++scrolls; };
  EXPECT_TRUE(g.DoMouseWheel(0, -120, 50, 50));  // towards the user: down
  EXPECT_EQ(g.TopRow(), 4);
  EXPECT_TRUE(g.DoMouseWheel(0, 120, 50, 50));
  EXPECT_EQ(g.TopRow(), 1);
  EXPECT_FALSE(g.DoMouseWheel(0, 120, 50, 50));  // at the top already
  EXPECT_EQ(scrolls, 2);
  int cw = g.ClientWidth(), ch = g.ClientHeight();
  g.DoMouseDown(TMouseButton::mbLeft, 0, cw + 5, ch - 5);  // down arrow
  g.DoMouseUp(TMouseButton::mbLeft, 0, cw + 5, ch - 5);
  EXPECT_EQ(g.TopRow(), 2);
  g.DoMouseDown(TMouseButton::mbLeft, 0, cw + 5, ch - 20);  // track below the thumb: a page
  g.DoMouseUp(TMouseButton::mbLeft, 0, cw + 5, ch - 20);
  EXPECT_EQ(g.TopRow(), 5);
  // Dragging the thumb to the bottom reaches the last page.
  g.SetTopRow(1);
  int y = TStringGrid::kScrollBarSize + 2;
  g.DoMouseDown(TMouseButton::mbLeft, 0, cw + 5, y);
  g.DoMouseMove(ssLeft, cw + 5, y + 500);
  g.DoMouseUp(TMouseButton::mbLeft, 0, cw + 5, y + 500);
  EXPECT_EQ(g.TopRow(), g.MaxTopRow());
  // Mouse events do not fire for presses on the scroll bars.
  int events = 0;
  g.OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int, int) { ++events; };
  g.OnMouseUp = [&](TControl*, TMouseButton, TShiftState, int, int) { ++events; };
  g.OnClick = [&](TControl*) { ++events; };
  g.OnDblClick = [&](TControl*) { ++events; };
  g.DoMouseDown(TMouseButton::mbLeft, 0, cw + 5, 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, cw + 5, 5);
  g.DoClick();
  g.DoDblClick();
  EXPECT_EQ(events, 0);
  g.DoMouseDown(TMouseButton::mbLeft, 0, 60, 30);  // a cell: all of them
  g.DoMouseUp(TMouseButton::mbLeft, 0, 60, 30);
  g.DoClick();
  EXPECT_EQ(events, 3);
  g.SetTopRow(g.MaxTopRow());
  g.DoMouseDown(TMouseButton::mbLeft, 0, cw + 5, 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, cw + 5, 5);
  EXPECT_EQ(g.TopRow(), g.MaxTopRow() - 1);
  // Horizontal: the right arrow.
  g.DoMouseDown(TMouseButton::mbLeft, 0, cw - 5, ch + 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, cw - 5, ch + 5);
  EXPECT_EQ(g.LeftCol(), 2);
  // Thumbs dragged past either end stop at the first and the last page.
  int x = g.HorizontalScrollBarShown() ? TStringGrid::kScrollBarSize + 8 : 0;
  g.SetLeftCol(1);
  g.DoMouseDown(TMouseButton::mbLeft, 0, x, ch + 5);
  g.DoMouseMove(ssLeft, x + 1000, ch + 5);
  g.DoMouseUp(TMouseButton::mbLeft, 0, x + 1000, ch + 5);
  EXPECT_EQ(g.LeftCol(), g.MaxLeftCol());
  g.SetTopRow(g.MaxTopRow());
  y = ch - TStringGrid::kScrollBarSize - 3;
  g.DoMouseDown(TMouseButton::mbLeft, 0, cw + 5, y);
  g.DoMouseMove(ssLeft, cw + 5, y - 1000);
  g.DoMouseUp(TMouseButton::mbLeft, 0, cw + 5, y - 1000);
  EXPECT_EQ(g.TopRow(), 1);
}

TEST_F(GridFixture, PaintDrawsVisibleCellsThenTheEventOnAnUnclippedCanvas) {
  g.Color = clWhite;
  g.FixedColor = clSilver;
  g.Options |= goRowSelect;
  g.SetRow(2);
  std::vector<std::pair<int, int>> drawn;
  g.OnDrawCell = [&](TControl*, TCanvas& cv, int c, int r, const TRect& rect, TGridDrawState st) {
    drawn.emplace_back(c, r);
    EXPECT_EQ(st.Fixed, c == 0 || r == 0);
    EXPECT_EQ(st.Selected, r == 2 && c > 0);
    EXPECT_EQ(&cv, &g.Canvas());
    // The cell is already drawn: the default background is there.
    if (c == 2 && r == 3) {
      EXPECT_EQ(cv.Pixel(rect.Left + 1, rect.Bottom - 2), clWhite);
      // Not clipped to the cell: this reaches into the cell to the right.
      cv.Brush.Color = clRed;
      cv.FillRect({rect.Right - 2, rect.Top, rect.Right + 5, rect.Top + 3});
    }
  };
  TBitmap out(200, 100);
  g.Paint(out.Canvas());
  // Only cells in view: 4 columns (the fourth cut) x 4 rows.
  EXPECT_EQ(drawn.size(), 4u * 4u);
  EXPECT_EQ(drawn.front(), (std::pair<int, int>{0, 0}));
  TRect r23 = g.CellRect(2, 3);
  EXPECT_EQ(out.Pixel(r23.Right, r23.Top + 1), clRed);  // on the grid line (later cells paint their own area)
  EXPECT_EQ(out.Pixel(g.CellRect(1, 2).Left + 40, g.CellRect(1, 2).Top + 15), g.SelectedColor);
  EXPECT_EQ(out.Pixel(2, 17), clSilver);
  EXPECT_EQ(out.Pixel(50, 30), g.FixedLineColor);  // the line right of the fixed column
  EXPECT_EQ(out.Pixel(70, 41), g.GridLineColor);   // the line under row 2
  // Text is drawn in the cells (dark pixels in "2/3").
  int dark = 0;
  for (int y = r23.Top; y < r23.Bottom; ++y)
    for (int x = r23.Left; x < r23.Right - 2; ++x) dark += GetRValue(out.Pixel(x, y)) < 128;
  EXPECT_GT(dark, 5);
  // Outside painting the canvas is a measuring one.
  EXPECT_NE(&g.Canvas(), &out.Canvas());
  g.Canvas().Font.Size = 14;
  EXPECT_GT(g.Canvas().TextWidth("abc"), 0);
}

TEST(GridTest, LargeGridPaintsOnlyTheRowsInView) {
  TStringGrid g;
  g.SetBounds(0, 0, 800, 400);
  g.SetColCount(18);
  g.SetRowCount(1000);
  g.SetFixedRows(2);
  g.SetFixedCols(0);
  for (int r = 0; r < 1000; ++r)
    for (int c = 0; c < 18; ++c) g.Cells(c, r) = Format("%8.2f ", r * 0.5 + c);
  g.SetTopRow(990);
  int calls = 0, min_row = 1000;
  g.OnDrawCell = [&](TControl*, TCanvas&, int, int r, const TRect&, TGridDrawState) {
    ++calls;
    if (r >= 2) min_row = std::min(min_row, r);
  };
  TBitmap out(800, 400);
  g.Paint(out.Canvas());
  EXPECT_EQ(min_row, g.TopRow());
  EXPECT_LE(calls, 13 * 17);
  EXPECT_EQ(g.TopRow(), g.MaxTopRow());
}

}  // namespace
}  // namespace tav
