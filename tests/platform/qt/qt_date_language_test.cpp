// The date pickers' calendars name months and days in the chosen language,
// also those made before the language was chosen.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QToolButton>

#include "platform/controls.h"
#include "platform/datetime.h"
#include "platform/eventloop.h"
#include "platform/qt/qt_platform.h"
#include "qt_test_app.h"
#include "texts/text_tables.h"

namespace tav {
namespace {

class DateForm : public TForm {
 public:
  DateForm() {
    Name = "DateForm";
    SetBounds(40, 40, 300, 120);
    Day = Make<TDateTimePicker>("DP_Day");
    Day->SetBounds(10, 10, 120, 21);
    Day->DateTime = EncodeDate(2024, 3, 19);
    FinishCreate();
  }
  TDateTimePicker* Day;
};

void Settle() {
  for (int i = 0; i < 5; ++i) MainLoop().ProcessEvents(0);
}

// What the calendar's title shows (the month) and its column title of Tuesday.
struct Shown {
  std::string month, tuesday;
};
Shown CalendarTexts(QDateTimeEdit* edit) {
  QCalendarWidget* calendar = edit->calendarWidget();
  Shown s;
  if (calendar == nullptr) return s;
  if (auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton")))
    s.month = month->text().toStdString();
  // The header row of the day table: Monday first, so Tuesday is column 2
  // (column 0 holds the week numbers when they are shown, else Monday).
  const int first = calendar->verticalHeaderFormat() == QCalendarWidget::NoVerticalHeader ? 0 : 1;
  if (auto* view = calendar->findChild<QAbstractItemView*>(QStringLiteral("qt_calendar_calendarview")))
    s.tuesday = view->model()->data(view->model()->index(0, first + 1), Qt::DisplayRole).toString().toStdString();
  return s;
}

TEST(DatePickerLanguage, TheCalendarFollowsTheChosenLanguage) {
  testing::EnsureQtTestApplication();
  ApplyTextTable(1);
  DateForm form;
  form.Show();
  Settle();
  auto* edit = qobject_cast<QDateTimeEdit*>(QtWidgetOf(form.Day));
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(edit->calendarPopup());
  // Each language after the one before; the picker was made in English.
  const struct {
    int language;
    const char* month;    // UTF-8 as Qt shows it
    const char* tuesday;  // short day name
  } rows[] = {
      {0, "M\xC3\xA4rz", "Di."}, {2, "marzo", "mar"}, {1, "March", "Tue"}, {0, "M\xC3\xA4rz", "Di."},
  };
  for (const auto& r : rows) {
    ApplyTextTable(r.language);
    form.Day->Invalidate();
    Settle();
    const Shown s = CalendarTexts(edit);
    EXPECT_EQ(s.month, r.month) << r.language;
    EXPECT_EQ(s.tuesday, r.tuesday) << r.language;
  }
  ApplyTextTable(1);
  form.Hide();
  Settle();
}

}  // namespace
}  // namespace tav
