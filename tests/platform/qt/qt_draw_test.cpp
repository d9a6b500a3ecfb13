// The drawing controls in real Qt windows: painting through the backend,
// and mouse and wheel input reaching the grid and the chart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "platform/chart.h"
#include "platform/controls.h"
#include "platform/eventloop.h"
#include "platform/grid.h"
#include "platform/qt/qt_platform.h"
#include "platform/text.h"
#include "qt_test_app.h"

namespace tav {
namespace {

class DrawForm : public TForm {
 public:
  DrawForm() {
    Name = "DrawForm";
    Caption = "Grid and chart";
    SetBounds(40, 40, 900, 460);
    Grid = Make<TStringGrid>("Grid");
    Grid->SetBounds(5, 5, 380, 400);
    Grid->SetColCount(4);
    Grid->SetRowCount(200);
    Grid->SetFixedCols(0);
    Grid->Options |= goRowSelect;
    Grid->Color = clWhite;
    for (int r = 0; r < 200; ++r)
      for (int c = 0; c < 4; ++c) Grid->Cells(c, r) = r == 0 ? Format("Col %d", c) : Format("%d.%d", r, c);
    Chart = Make<TChart>("Chart");
    Chart->SetBounds(400, 5, 480, 400);
    Chart->BackColor = clWhite;
    Chart->AllowZoom = false;
    Line = Chart->AddLineSeries();
    Line->SeriesColor = clRed;
    Line->PenWidth = 3;
    for (int i = 0; i <= 100; ++i) Line->AddXY(i, i % 20);
    Edit = Make<TEdit>("E_SKA", Chart);  // a control on the chart
    Edit->SetBounds(10, 10, 60, 21);
    Edit->Text = "400";
    FinishCreate();
  }
  TStringGrid* Grid;
  TChart* Chart;
  TChartSeries* Line;
  TEdit* Edit;
};

class DrawQtTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tav::testing::EnsureQtTestApplication();
  }
  static void Settle() {
    for (int i = 0; i < 5; ++i) MainLoop().ProcessEvents(0);
  }
  void Mouse(QWidget* w, QEvent::Type type, QPoint p) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent e(type, p, w->mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
    e.setTimestamp(timestamp_ += 1000);
    QCoreApplication::sendEvent(w, &e);
  }
  ulong timestamp_ = 5000;
};

TEST_F(DrawQtTest, GridAndChartPaintAndTakeMouseAndWheel) {
  DrawForm form;
  form.Show();
  Settle();
  QWidget* window = QtWindowOf(&form);
  QWidget* grid = QtWidgetOf(form.Grid);
  QWidget* chart = QtWidgetOf(form.Chart);
  ASSERT_NE(window, nullptr);
  ASSERT_NE(grid, nullptr);
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(grid->size(), QSize(380, 400));

  // Painted through the canvas: the chart's curve and the grid's text.
  QImage shot = window->grab().toImage();
  const QPoint chart_at = chart->mapTo(window, QPoint(0, 0));
  const QPoint grid_at = grid->mapTo(window, QPoint(0, 0));
  int px = form.Line->CalcXPos(10), py = form.Line->CalcYPos(10);
  bool red = false;
  for (int d = -1; d <= 1; ++d) red = red || FromQRgb(shot.pixel(chart_at.x() + px, chart_at.y() + py + d)) == clRed;
  EXPECT_TRUE(red);
  TRect cell = form.Grid->CellRect(1, 3);
  int ink = 0;
  for (int y = cell.Top; y < cell.Bottom; ++y)
    for (int x = cell.Left; x < cell.Right; ++x) ink += qRed(shot.pixel(grid_at.x() + x, grid_at.y() + y)) < 128;
  EXPECT_GT(ink, 5);

  // The wheel scrolls the grid and tells the form.
  int scrolled = 0;
  form.Grid->OnTopLeftChanged = [&](TControl*) { ++scrolled; };
  QWheelEvent wheel(QPointF(100, 100), grid->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(grid, &wheel);
  Settle();
  EXPECT_EQ(form.Grid->TopRow(), 4);
  EXPECT_EQ(scrolled, 1);

  // A click on a cell selects its row and clicks the grid.
  int clicks = 0;
  form.Grid->OnClick = [&](TControl*) { ++clicks; };
  TRect r = form.Grid->CellRect(2, 6);
  Mouse(grid, QEvent::MouseButtonPress, QPoint(r.Left + 5, r.Top + 5));
  Mouse(grid, QEvent::MouseButtonRelease, QPoint(r.Left + 5, r.Top + 5));
  Settle();
  EXPECT_EQ(form.Grid->Row(), 6);
  EXPECT_EQ(clicks, 1);

  // A press on a point of the chart reaches OnClickSeries.
  int index = -1;
  form.Chart->OnClickSeries = [&](TControl*, TChartSeries*, int i, TMouseButton, TShiftState, int, int) { index = i; };
  Mouse(chart, QEvent::MouseButtonPress, QPoint(form.Line->CalcXPos(40), form.Line->CalcYPos(40)));
  Mouse(chart, QEvent::MouseButtonRelease, QPoint(form.Line->CalcXPos(40), form.Line->CalcYPos(40)));
  Settle();
  EXPECT_EQ(index, 40);

  // The edit sits on the chart.
  QWidget* edit = QtWidgetOf(form.Edit);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->parentWidget(), chart);
  form.Hide();
  Settle();
}

}  // namespace
}  // namespace tav
