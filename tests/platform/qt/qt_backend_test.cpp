#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QAbstractItemView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QWheelEvent>

#include <thread>

#include "platform/controls.h"
#include "platform/eventloop.h"
#include "platform/graphics.h"
#include "platform/qt/qt_platform.h"
#include "platform/text.h"
#include <QThread>

#include "qt_test_app.h"

using namespace tav;

namespace {

using Log = std::vector<std::string>;

class QtBackendTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tav::testing::EnsureQtTestApplication(); }
  void SetUp() override { Application().ShownMessages.clear(); }

  // Lets Qt deliver what is pending (shows, paints, posted calls).
  static void Settle() {
    for (int i = 0; i < 5; ++i) MainLoop().ProcessEvents(0);
  }

  void SendMouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
    e.setTimestamp(++timestamp_);
    QCoreApplication::sendEvent(w, &e);
  }
  void Click(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseButtonPress, p);
    SendMouse(w, QEvent::MouseButtonRelease, p);
  }
  void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    press.setTimestamp(++timestamp_);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    release.setTimestamp(++timestamp_);
    QCoreApplication::sendEvent(w, &release);
  }

  Log log;
  ulong timestamp_ = 1000;
};

class ClickForm : public TForm {
 public:
  explicit ClickForm(Log& log) {
    Name = "ClickForm";
    Caption = "Klick & Mehr";
    SetBounds(50, 50, 400, 260);
    Info = Make<TLabel>("L_Info");
    Info->SetBounds(10, 10, 0, 0);
    Info->SetCaption("Noch nichts");
    Panel = Make<TPanel>("P_Tools");
    Panel->SetBounds(10, 40, 300, 120);
    Go = Make<TButton>("B_Go", Panel);
    Go->SetBounds(10, 10, 90, 25);
    Go->Caption = "Los";
    Go->Hint = "Leistung & Trittfrequenz\n100% <Ziel>";
    Value = Make<TEdit>("E_Value", Panel);
    Value->SetBounds(110, 10, 80, 21);
    Choice = Make<TComboBox>("CB_Choice", Panel);
    Choice->SetBounds(10, 50, 120, 21);
    Choice->Style = TComboBoxStyle::csDropDownList;
    Check = Make<TCheckBox>("CH_Opt", Panel);
    Check->SetBounds(140, 50, 120, 17);
    Check->Caption = "Option";
    Go->OnMouseDown = [&log](TControl*, TMouseButton, TShiftState, int, int) { log.push_back("down"); };
    Go->OnMouseUp = [&log](TControl*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
    Go->OnClick = [this, &log](TControl*) {
      log.push_back("click");
      Info->Caption = Format("Geklickt %d", ++clicks);
    };
    FinishCreate();
  }
  int clicks = 0;
  TLabel* Info;
  TPanel* Panel;
  TButton* Go;
  TEdit* Value;
  TComboBox* Choice;
  TCheckBox* Check;
};

}  // namespace

TEST_F(QtBackendTest, AClickThroughQtRunsOnClickAndTheNewCaptionShows) {
  ClickForm form(log);
  form.Show();
  Settle();
  auto* button = qobject_cast<QPushButton*>(QtWidgetOf(form.Go));
  auto* label = qobject_cast<QLabel*>(QtWidgetOf(form.Info));
  ASSERT_NE(button, nullptr);
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(QtWindowOf(&form)->isVisible());
  EXPECT_EQ(QtWindowOf(&form)->windowTitle(), QStringLiteral("Klick & Mehr"));
  EXPECT_EQ(button->parentWidget(), QtWidgetOf(form.Panel)) << "controls nest in their parent";
  EXPECT_EQ(label->text(), QStringLiteral("Noch nichts"));
  const int narrow = label->width();

  Click(button, QPoint(5, 5));
  EXPECT_EQ(log, (Log{"down", "click", "up"}));
  EXPECT_EQ(label->text(), QStringLiteral("Geklickt 1"));
  EXPECT_EQ(label->width(), form.Info->Width) << "auto-sized in the model, applied to the widget";
  EXPECT_NE(label->width(), narrow);
  button->click();  // keyboard or accessibility clicks come the same way
  EXPECT_EQ(label->text(), QStringLiteral("Geklickt 2"));
}

TEST_F(QtBackendTest, PropertiesSetByCodeShowWithoutFiringEvents) {
  ClickForm form(log);
  int events = 0;
  form.Choice->OnChange = form.Check->OnClick = form.Value->OnChange = [&](TControl*) { ++events; };
  form.Show();
  Settle();
  MainLoop().PostTask([&] {
    form.Choice->Items.Assign(std::vector<std::string>{"eins", "zwei", "drei"});
    form.Choice->ItemIndex = 1;
    form.Check->Checked = true;
    form.Value->Text = "Gr\xF6\xDF" "e";  // Windows-1252
    form.Go->Enabled = false;
    form.Go->Font.Color = clRed;
    form.Panel->Caption = "Werkzeuge";
  });
  Settle();
  auto* combo = qobject_cast<QComboBox*>(QtWidgetOf(form.Choice));
  auto* check = qobject_cast<QCheckBox*>(QtWidgetOf(form.Check));
  auto* edit = qobject_cast<QLineEdit*>(QtWidgetOf(form.Value));
  EXPECT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->currentText(), QStringLiteral("zwei"));
  EXPECT_EQ(form.Choice->Text, "zwei");
  EXPECT_TRUE(check->isChecked());
  EXPECT_EQ(edit->text(), QString::fromUtf8("Größe"));
  EXPECT_FALSE(QtWidgetOf(form.Go)->isEnabled());
  // A disabled control looks disabled: its font colour is the enabled look only.
  const QPalette& look = QtWidgetOf(form.Go)->palette();
  EXPECT_EQ(look.color(QPalette::Active, QPalette::ButtonText), QColor(Qt::red));
  EXPECT_EQ(look.color(QPalette::Inactive, QPalette::ButtonText), QColor(Qt::red));
  EXPECT_EQ(look.color(QPalette::Disabled, QPalette::ButtonText),
            QApplication::palette(QtWidgetOf(form.Go)).color(QPalette::Disabled, QPalette::ButtonText));
  EXPECT_EQ(events, 0);

  // The user's changes do fire them and reach the model.
  check->click();
  EXPECT_FALSE(form.Check->Checked);
  combo->setCurrentIndex(2);
  emit combo->activated(2);
  EXPECT_EQ(form.Choice->ItemIndex, 2);
  EXPECT_EQ(events, 2);
  // The wheel over the combo box changes nothing unless the box has the focus.
  auto wheel = [&](int delta) {
    QWheelEvent e(QPointF(5, 5), combo->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    e.setTimestamp(++timestamp_);
    QCoreApplication::sendEvent(combo, &e);
  };
  wheel(120);
  EXPECT_EQ(form.Choice->ItemIndex, 2);
  EXPECT_EQ(events, 2);
  if (QtWindowOf(&form)->isActiveWindow()) {  // focus needs the active window
    form.Choice->SetFocus();
    MainLoop().PostTask([] {});
    Settle();
    wheel(120);
    EXPECT_EQ(form.Choice->ItemIndex, 1);
    EXPECT_EQ(events, 3);
  }

  // A password edit masks with its own character; a dialog frame offers no
  // minimise or maximise button.
  MainLoop().PostTask([&] { form.Value->PasswordChar = '*'; });
  Settle();
  EXPECT_EQ(edit->displayText(), QStringLiteral("*****"));
  ClickForm dialog(log);
  dialog.BorderStyle = TFormBorderStyle::bsDialog;
  dialog.Show();
  Settle();
  const Qt::WindowFlags flags = QtWindowOf(&dialog)->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
  // A sizeable window cannot be made smaller than the form's least client area.
  MainLoop().PostTask([&] { form.MinClientWidth = 150, form.MinClientHeight = 90; });
  Settle();
  EXPECT_EQ(QtWindowOf(&form)->minimumSize(), QSize(150, 90));
}

// Typing over the chosen item of an editable combo box: the typed text
// stays in the box (no item matches it any more).
TEST_F(QtBackendTest, TextTypedOverAnEditableComboItemStays) {
  ClickForm form(log);
  form.Choice->Style = TComboBoxStyle::csDropDown;
  form.Choice->Items.Assign(std::vector<std::string>{"eins", "zwei"});
  form.Choice->Select(0);
  form.Show();
  Settle();
  auto* combo = qobject_cast<QComboBox*>(QtWidgetOf(form.Choice));
  ASSERT_NE(combo->lineEdit(), nullptr);
  for (const char* typed : {"c", "co", "coach@x.org"}) {
    combo->lineEdit()->setText(QString::fromLatin1(typed));
    emit combo->lineEdit()->textEdited(QString::fromLatin1(typed));
    Settle();
    EXPECT_EQ(combo->currentText(), QString::fromLatin1(typed));
    EXPECT_EQ(form.Choice->Text, typed);
    EXPECT_EQ(form.Choice->ItemIndex, -1);
  }
}

TEST_F(QtBackendTest, HintsShowAsPlainText) {
  ClickForm form(log);
  form.Show();
  Settle();
  const QString tip = QtWidgetOf(form.Go)->toolTip();
  EXPECT_EQ(QTextDocumentFragment::fromHtml(tip).toPlainText(),
            QStringLiteral("Leistung & Trittfrequenz\n100% <Ziel>"));
  form.Go->ShowHint = false;
  MainLoop().PostTask([] {});
  Settle();
  EXPECT_TRUE(QtWidgetOf(form.Go)->toolTip().isEmpty());
}

// A disabled control's tooltip adds its note on a line of its own; enabled
// again, the tooltip is the hint alone.
TEST_F(QtBackendTest, DisabledNoteShowsInTheTooltipOnlyWhileDisabled) {
  ClickForm form(log);
  form.Go->Hint = "Fahrer l\xF6schen|lang";
  form.Go->DisabledNote = "Nicht verf\xFCgbar.";
  form.Go->Enabled = false;
  form.Show();
  Settle();
  auto tip = [&] { return QTextDocumentFragment::fromHtml(QtWidgetOf(form.Go)->toolTip()).toPlainText(); };
  EXPECT_EQ(tip(), QString::fromUtf8("Fahrer l\u00F6schen\nNicht verf\u00FCgbar."));
  form.Go->Enabled = true;
  MainLoop().PostTask([] {});
  Settle();
  EXPECT_EQ(tip(), QString::fromUtf8("Fahrer l\u00F6schen"));
  form.Go->Enabled = false;
  form.Go->DisabledNote = "Not available.";
  MainLoop().PostTask([] {});
  Settle();
  EXPECT_EQ(tip(), QStringLiteral("Fahrer l\u00F6schen\nNot available."));
}

TEST_F(QtBackendTest, KeysGoThroughKeyPreviewAndKeyPress) {
  ClickForm form(log);
  form.KeyPreview = true;
  form.OnKeyDown = [&](TControl*, WORD& key, TShiftState) {
    log.push_back(Format("form key %d", key));
    if (key == VK_F5) key = 0;
  };
  form.Value->OnKeyPress = [&](TControl*, char& key) {
    if (key == ',') key = '.';
  };
  form.Show();
  Settle();
  EXPECT_EQ(QtWindowOf(&form)->focusWidget(), QtWidgetOf(form.Go)) << "the first control in tab order";
  QWidget* edit = QtWidgetOf(form.Value);
  Key(edit, Qt::Key_F5);
  Key(edit, Qt::Key_1, QStringLiteral("1"));
  Key(edit, Qt::Key_Comma, QStringLiteral(","));
  Key(edit, Qt::Key_5, QStringLiteral("5"));
  EXPECT_EQ(qobject_cast<QLineEdit*>(edit)->text(), QStringLiteral("1.5"));
  EXPECT_EQ(form.Value->Text, "1.5");
  EXPECT_EQ(log.front(), "form key 116");
  // F1 is an ordinary key that reaches the form.
  log.clear();
  Key(QtWindowOf(&form), Qt::Key_F1);
  EXPECT_EQ(log, (Log{"form key 112"}));
  // A key the focused control leaves alone reaches the form once, as its
  // preview, and not again when Qt passes the key on to the parent widgets.
  form.OnKeyPress = [&](TControl*, char& key) { log.push_back(Format("form char %c", key)); };
  log.clear();
  Key(QtWidgetOf(form.Go), Qt::Key_F2);
  Key(QtWidgetOf(form.Go), Qt::Key_X, QStringLiteral("x"));
  EXPECT_EQ(log, (Log{"form key 113", "form key 88", "form char x"}));
}

TEST_F(QtBackendTest, TheQtLoopRunsPostsTimersAndFdWatches) {
  EventLoop& loop = MainLoop();
  std::vector<int> got;
  TargetId target = loop.AddTarget([&](const Message& m) { got.push_back(static_cast<int>(m.wparam)); });
  std::thread poster([&] {
    for (int i = 0; i < 20; ++i) loop.Post(target, {1, static_cast<uintptr_t>(i), 0});
  });
  int fires = 0;
  TimerId timer = loop.StartTimer(2, false, [&] { ++fires; });
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
  bool readable = false, writable = false;
  WatchId watch = loop.WatchFd(fds[0], [&](bool r, bool) {
    char c;
    if (r && read(fds[0], &c, 1) == 1) readable = true;
  });
  WatchId write_watch = loop.WatchFd(fds[1], [&](bool, bool w) { writable |= w; });
  loop.SetFdInterest(write_watch, false, true);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  EXPECT_TRUE(loop.RunUntil([&] { return got.size() == 20 && fires >= 3 && readable && writable; }, 5000));
  poster.join();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(got[i], i);
  loop.StopTimer(timer);
  loop.UnwatchFd(watch);
  loop.UnwatchFd(write_watch);
  loop.RemoveTarget(target);
  EXPECT_FALSE(loop.Post(target, {1, 0, 0}));
  close(fds[0]);
  close(fds[1]);
}

TEST_F(QtBackendTest, ModalFormsRunANestedLoopAndGiveTheActivationBack) {
  ClickForm owner(log);
  ClickForm dialog(log);
  dialog.Name = "Dialog";
  int owner_activations = 0;
  owner.OnActivate = [&](TControl*) { ++owner_activations; };
  dialog.Go->ModalResult = mrOk;
  dialog.OnActivate = [&](TControl*) {
    // Shown and modal: the user presses its button a little later.
    MainLoop().StartTimer(20, true, [&] {
      QWidget* window = QtWindowOf(&dialog);
      EXPECT_TRUE(window && window->isVisible());
      EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
      qobject_cast<QPushButton*>(QtWidgetOf(dialog.Go))->click();
    });
  };
  owner.Show();
  Settle();
  EXPECT_EQ(owner_activations, 1);
  int result = -1;
  owner.Go->OnClick = [&](TControl*) { result = dialog.ShowModal(); };
  qobject_cast<QPushButton*>(QtWidgetOf(owner.Go))->click();
  EXPECT_EQ(result, mrOk);
  EXPECT_FALSE(dialog.Visible);
  Settle();
  EXPECT_FALSE(QtWindowOf(&dialog)->isVisible());
  EXPECT_EQ(owner_activations, 2) << "the owner is activated again";
  EXPECT_TRUE(owner.Active());
}

TEST_F(QtBackendTest, TheWindowsCloseButtonAsksTheForm) {
  ClickForm main_form(log);
  ClickForm other(log);
  bool allow = false;
  other.OnCloseQuery = [&](TControl*, bool& can) { can = allow; };
  main_form.Show();
  other.Show();
  Settle();
  QCloseEvent refused;
  QCoreApplication::sendEvent(QtWindowOf(&other), &refused);
  Settle();
  EXPECT_TRUE(other.Visible);
  EXPECT_TRUE(QtWindowOf(&other)->isVisible());
  allow = true;
  QCloseEvent accepted;
  QCoreApplication::sendEvent(QtWindowOf(&other), &accepted);
  Settle();
  EXPECT_FALSE(other.Visible);
  EXPECT_FALSE(QtWindowOf(&other)->isVisible());
  EXPECT_FALSE(Application().Terminated());
}

TEST_F(QtBackendTest, CustomDrawnControlsPaintThroughTheCanvas) {
  ClickForm form(log);
  auto* box = form.Make<TPaintBox>("PB", form.Panel);
  box->SetBounds(200, 60, 40, 30);
  int paints = 0;
  box->OnPaint = [&](TControl*, TCanvas& canvas) {
    ++paints;
    canvas.Brush.Color = clRed;
    canvas.FillRect({0, 0, canvas.Width(), canvas.Height()});
  };
  box->OnClick = [&](TControl*) { log.push_back("box click"); };
  box->OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int x, int y) {
    log.push_back(Format("box down %d %d", x, y));
  };
  form.Show();
  Settle();
  QImage shot = QtWindowOf(&form)->grab().toImage();
  const QPoint inside = QtWidgetOf(box)->mapTo(QtWindowOf(&form), QPoint(20, 15));
  EXPECT_EQ(shot.pixelColor(inside), QColor(255, 0, 0));
  EXPECT_GT(paints, 0);
  Click(QtWidgetOf(box), QPoint(3, 4));
  EXPECT_EQ(log, (Log{"box down 3 4", "box click"}));
  // A failing paint is shown once, and the program goes on.
  Application().OnException = [&](const std::string& what) { log.push_back("shown " + what); };
  log.clear();
  box->OnPaint = [](TControl*, TCanvas&) { throw std::runtime_error("paint failed"); };
  box->Invalidate();
  MainLoop().PostTask([] {});
  Settle();
  QtWindowOf(&form)->grab();
  QtWindowOf(&form)->grab();
  Settle();
  EXPECT_EQ(log, (Log{"shown paint failed"}));
  Application().OnException = nullptr;
}

TEST_F(QtBackendTest, OwnerDrawnComboItemsDrawThroughOnDrawItem) {
  ClickForm form(log);
  form.Choice->Style = TComboBoxStyle::csOwnerDrawFixed;
  form.Choice->ItemHeight = 18;
  form.Choice->Items.Assign(std::vector<std::string>{"   0", "   3 SEC"});
  form.Choice->OnDrawItem = [&](TControl*, int index, TRect r, TOwnerDrawState state, TCanvas& canvas) {
    log.push_back(Format("draw %d %d", index, state.Selected ? 1 : 0));
    canvas.Brush.Color = clLime;
    canvas.FillRect(r);
  };
  form.Show();
  Settle();
  auto* combo = qobject_cast<QComboBox*>(QtWidgetOf(form.Choice));
  ASSERT_NE(combo, nullptr);
  QImage image(100, 40, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  QStyleOptionViewItem option;
  option.rect = QRect(0, 20, 100, 18);
  option.state = QStyle::State_Selected;
  QAbstractItemDelegate* delegate = combo->view()->itemDelegate();
  delegate->paint(&painter, option, combo->model()->index(1, 0));
  painter.end();
  EXPECT_EQ(log, (Log{"draw 1 1"}));
  EXPECT_EQ(image.pixelColor(50, 25), QColor(0, 255, 0)) << "drawn into the item's rectangle";
  EXPECT_EQ(image.pixelColor(50, 5), QColor(Qt::white));
  EXPECT_EQ(delegate->sizeHint(option, combo->model()->index(0, 0)).height(), 18);
}

TEST_F(QtBackendTest, MovingBetweenOurWindowsActivatesComingBackFromElsewhereDoesNot) {
  ClickForm a(log), b(log);
  a.Name = "A";
  b.Name = "B";
  a.OnActivate = [&](TControl*) { log.push_back("activate A"); };
  b.OnActivate = [&](TControl*) { log.push_back("activate B"); };
  a.Show();
  b.Show();
  MainLoop().RunUntil([] { return false; }, 500);  // past the activations our own showing causes
  log.clear();
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(QtWindowOf(&a), &activate);  // the user clicks into A
  EXPECT_EQ(log, (Log{"activate A"}));
  EXPECT_TRUE(a.Active());
  QEvent deactivate(QEvent::WindowDeactivate);  // another program takes the focus ...
  QCoreApplication::sendEvent(QtWindowOf(&a), &deactivate);
  QEvent again(QEvent::WindowActivate);  // ... and gives it back
  QCoreApplication::sendEvent(QtWindowOf(&a), &again);
  EXPECT_EQ(log, (Log{"activate A"}));
}

TEST_F(QtBackendTest, TheFocusedControlKeepsTheKeyboardThroughABusyPhase) {
  ClickForm form(log);
  for (TControl* c : std::initializer_list<TControl*>{form.Go, form.Value, form.Choice, form.Check})
    c->OnEnter = [this](TControl* s) { log.push_back("enter " + s->Name); };
  form.Show();
  form.Value->SetFocus();
  Settle();
  QWidget* window = QtWindowOf(&form);
  ASSERT_EQ(window->focusWidget(), QtWidgetOf(form.Value));
  // A long computation greys every control and enables them again: Qt moves
  // its focus along while they go grey, the model's focus stays put.
  MainLoop().PostTask([&] {
    for (TControl* c : std::initializer_list<TControl*>{form.Go, form.Value, form.Choice, form.Check}) c->Enabled = false;
  });
  Settle();
  MainLoop().PostTask([&] {
    for (TControl* c : std::initializer_list<TControl*>{form.Go, form.Value, form.Choice, form.Check}) c->Enabled = true;
  });
  Settle();
  EXPECT_TRUE(form.Value->Focused());
  EXPECT_EQ(window->focusWidget(), QtWidgetOf(form.Value));
  EXPECT_TRUE(log.empty()) << log.front();
  // Tab cycles through the controls; the bare form never takes the focus.
  // (Only the active window follows Tab: under an X server without a window
  // manager activation may not come.)
  if (!window->isActiveWindow()) return;
  for (int i = 0; i < 6; ++i) {
    QWidget* before = window->focusWidget();
    Key(before, Qt::Key_Tab);
    Settle();
    EXPECT_NE(window->focusWidget(), before) << i;
    EXPECT_NE(window->focusWidget(), window) << i;
    ASSERT_NE(form.ActiveControl, nullptr);
    EXPECT_EQ(window->focusWidget(), QtWidgetOf(form.ActiveControl)) << i;
  }
  EXPECT_EQ(log.size(), 6u) << ::testing::PrintToString(log);
}

// A memo's selection set by code shows in the window (a line break is one
// character there, two in the model), typing replaces it in both, and the
// user's selection reaches the model.
TEST_F(QtBackendTest, MemoSelectionsGoBothWays) {
  TForm form;
  form.Name = "MemoForm";
  form.SetBounds(60, 60, 300, 200);
  TMemo* memo = form.Make<TMemo>("M_Notes");
  form.FinishCreate();
  memo->Lines.Assign(std::vector<std::string>{"eins", "zwei", "BIKE POWER"});
  form.Show();
  Settle();
  auto* e = qobject_cast<QPlainTextEdit*>(QtWidgetOf(memo));
  ASSERT_NE(e, nullptr);
  const QString br(QChar::ParagraphSeparator);
  const std::pair<int, QString> rows[] = {
      {5, br + "zwei" + br}, {14, "KE POWER"}, {0, "eins" + br + "zwei" + br + "BIKE POWER"}};
  for (const auto& [start, shown] : rows) {
    MainLoop().PostTask([&, start = start] {
      if (start == 0) memo->SelectAll();
      else memo->Select(start, start == 5 ? 7 : 99);
    });
    Settle();
    EXPECT_EQ(e->textCursor().selectedText(), shown) << start;
  }
  Key(e, Qt::Key_X, QStringLiteral("x"));
  EXPECT_EQ(e->toPlainText(), QStringLiteral("x"));
  EXPECT_EQ(memo->Lines.Lines(), (std::vector<std::string>{"x"}));
  EXPECT_EQ(memo->SelStart(), 1);

  MainLoop().PostTask([&] { memo->Lines.Assign(std::vector<std::string>{"eins", "zwei"}); });
  Settle();
  QTextCursor cursor = e->textCursor();
  cursor.setPosition(7);
  cursor.setPosition(2, QTextCursor::KeepAnchor);
  e->setTextCursor(cursor);
  EXPECT_EQ(memo->SelText(), "ns\r\nzw");
  EXPECT_FALSE(memo->TakeSelectionRequest());
}

// Under a window manager the real frame replaces the assumed one: the client
// area keeps the size the form gave it, at the first showing and the next,
// and the outer size takes the frame. (Without a window manager there is no
// frame to learn and the test has nothing to check.)
TEST_F(QtBackendTest, TheClientKeepsItsSizeWhenTheRealFrameIsLearned) {
  ClickForm form(log);
  form.SetClientSize(500, 300);
  for (int round = 0; round < 2; ++round) {
    form.Show();
    Settle();
    QWidget* w = QtWindowOf(&form);
    ASSERT_NE(w, nullptr);
    for (int i = 0; i < 40 && w->frameGeometry().height() == w->geometry().height(); ++i) {
      Settle();
      QThread::msleep(25);
    }
    const int frame_h = w->frameGeometry().height() - w->geometry().height();
    if (frame_h <= 0) GTEST_SKIP() << "no window manager frames the windows";
    Settle();
    EXPECT_EQ(form.ClientWidth(), 500) << round;
    EXPECT_EQ(form.ClientHeight(), 300) << round;
    EXPECT_EQ(w->size(), QSize(500, 300)) << round;
    EXPECT_EQ(form.Height, 300 + frame_h) << round;
    form.Hide();
    Settle();
    form.SetClientSize(500, 300);  // as an activation that sets its size does
  }
}
