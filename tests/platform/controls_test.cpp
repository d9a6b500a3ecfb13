#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "platform/canvas.h"
#include "platform/controls.h"
#include "platform/eventloop.h"
#include "platform/text.h"

using namespace tav;

namespace {

using Log = std::vector<std::string>;

// Records what the window side is asked to do and answers dialogs as told.
class RecordingBackend : public WindowBackend {
 public:
  explicit RecordingBackend(Log& log) : log_(log) {}
  void FormShown(TForm* f) override { log_.push_back("shown " + f->Name); }
  void FormHidden(TForm* f) override { log_.push_back("hidden " + f->Name); }
  void ModalStarted(TForm* f) override { log_.push_back("modal " + f->Name); }
  void ModalEnded(TForm* f) override { log_.push_back("modal end " + f->Name); }
  int MessageBox(const std::string& text, const std::string&, unsigned) override {
    log_.push_back("box " + text);
    return answer;
  }
  bool FileDialog(TFileDialogRequest& r) override {
    log_.push_back(std::string(r.save ? "save " : "open ") + r.Title);
    r.FileName = "/tmp/picked.csv";
    return true;
  }
  int answer = IDOK;

 private:
  Log& log_;
};

// A window as the program writes them: controls made in the constructor,
// FinishCreate() last.
class SampleForm : public TForm {
 public:
  SampleForm(const std::string& name, Log& log, bool show_in_constructor = false) : log_(log) {
    Name = name;
    L_Info = Make<TLabel>("L_Info");
    P_Tools = Make<TPanel>("P_Tools");
    B_OK = Make<TButton>("B_OK", P_Tools);
    E_Value = Make<TEdit>("E_Value", P_Tools);
    CB_Kind = Make<TComboBox>("CB_Kind");
    CH_Opt = Make<TCheckBox>("CH_Opt");
    OnActivate = [this](TControl*) { log_.push_back("activate " + Name); };
    OnDeactivate = [this](TControl*) { log_.push_back("deactivate " + Name); };
    OnResize = [this](TControl*) { log_.push_back("resize " + Name); };
    OnPaint = [this](TControl*) { log_.push_back("paint " + Name); };
    OnShow = [this](TControl*) { log_.push_back("show " + Name); };
    OnHide = [this](TControl*) { log_.push_back("hide " + Name); };
    SetBounds(10, 10, 500, 400);  // no OnResize while constructing
    P_Tools->SetBounds(20, 30, 200, 100);
    B_OK->SetBounds(5, 6, 75, 25);
    if (show_in_constructor) Show();  // the activation waits until construction ends
    FinishCreate();
  }
  TLabel* L_Info;
  TPanel* P_Tools;
  TButton* B_OK;
  TEdit* E_Value;
  TComboBox* CB_Kind;
  TCheckBox* CH_Opt;

 private:
  Log& log_;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMainLoop(MakePollEventLoop());
    if (Application().Terminated()) Application().Run();  // clears a previous test's request
    auto backend = std::make_unique<RecordingBackend>(log);
    backend_ = backend.get();
    Application().SetBackend(std::move(backend));
    Application().ShownMessages.clear();
    Application().OnException = nullptr;
  }
  void TearDown() override { Application().SetBackend(nullptr); }
  // The lines of the log that start with prefix.
  Log Only(const std::string& prefix) const {
    Log out;
    for (const auto& l : log)
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }
  Log log;
  RecordingBackend* backend_ = nullptr;
};

}  // namespace

TEST_F(ControlsTest, FormsKeepARegistryAndATreeOfControls) {
  SampleForm f("Main", log);
  EXPECT_EQ(f.FindControl("B_OK"), f.B_OK);
  EXPECT_EQ(f.Find<TEdit>("E_Value"), f.E_Value);
  EXPECT_EQ(f.Find<TLabel>("E_Value"), nullptr) << "wrong type";
  EXPECT_EQ(f.FindControl("nope"), nullptr);
  EXPECT_EQ(f.B_OK->OwnerForm, &f);
  EXPECT_EQ(f.B_OK->ClientToForm({1, 2}), (TPoint{26, 38}));
  EXPECT_FALSE(f.B_OK->Showing()) << "the form is hidden";
  f.Show();
  EXPECT_TRUE(f.B_OK->Showing());
  f.P_Tools->Hide();
  EXPECT_FALSE(f.B_OK->Showing());

  // A direct assignment to Parent moves the control (in front).
  f.CH_Opt->Parent = f.P_Tools;
  const auto& kids = f.P_Tools->Children();
  ASSERT_EQ(kids.size(), 3u);
  EXPECT_EQ(kids.back(), f.CH_Opt);
  f.B_OK->BringToFront();
  EXPECT_EQ(f.P_Tools->Children().back(), f.B_OK);
  f.B_OK->SendToBack();
  EXPECT_EQ(f.P_Tools->Children().front(), f.B_OK);
  EXPECT_LT(f.B_OK->ZOrder, f.CH_Opt->ZOrder);
}

TEST_F(ControlsTest, NothingRunsWhileFormsAreConstructed) {
  SampleForm main("Main", log, /*show_in_constructor=*/true);
  EXPECT_TRUE(main.Visible);
  // Shown in its constructor: the first resize and the activation came once
  // construction had finished, and nothing painted.
  EXPECT_EQ(Only("resize"), (Log{"resize Main"}));
  EXPECT_EQ(Only("activate"), (Log{"activate Main"}));
  EXPECT_TRUE(Only("paint").empty());

  // While the program starts, no activation runs before Run().
  log.clear();
  Application().Initialize();
  SampleForm second("Second", log);
  second.Show();
  EXPECT_TRUE(Only("activate").empty());
  MainLoop().PostTask([] { Application().Terminate(); });
  Application().Run();
  EXPECT_EQ(Only("activate"), (Log{"activate Second"}));
}

TEST_F(ControlsTest, ShowActivatesSynchronouslyAndNeverTwice) {
  SampleForm a("A", log), b("B", log);
  a.Show();
  EXPECT_EQ(log, (Log{"shown A", "resize A", "show A", "activate A"}));
  EXPECT_TRUE(a.Active());
  log.clear();
  a.Show();  // visible and active already: raised, no second activation
  Application().ActivateForm(&a);
  Application().ApplicationDeactivated();  // another program took the focus
  Application().ActivateForm(&a);          // and gave it back
  EXPECT_TRUE(Only("activate").empty());

  b.Show();
  EXPECT_EQ(Only("activate"), (Log{"activate B"}));
  EXPECT_EQ(Only("deactivate"), (Log{"deactivate A"}));
  log.clear();
  Application().ActivateForm(&a);  // the user moves back to A
  EXPECT_EQ(Only("activate"), (Log{"activate A"}));
  log.clear();
  a.Hide();  // the last active window left gets the activation
  EXPECT_EQ(Only("activate"), (Log{"activate B"}));
  EXPECT_EQ(Application().ActiveForm(), &b);
  log.clear();
  a.Show();  // shown again: a new activation, but only one resize ever
  EXPECT_EQ(Only("activate"), (Log{"activate A"}));
  EXPECT_TRUE(Only("resize").empty());
}

TEST_F(ControlsTest, PropertiesSetByCodeFireNothingUserInputDoes) {
  SampleForm f("F", log);
  TRadioButton* r1 = f.Make<TRadioButton>("RB_1");
  TRadioButton* r2 = f.Make<TRadioButton>("RB_2");
  TMemo* memo = f.Make<TMemo>("Memo");
  TListBox* list = f.Make<TListBox>("LB");
  TDateTimePicker* dtp = f.Make<TDateTimePicker>("DTP");
  int events = 0;
  auto count = [&](TControl*) { ++events; };
  f.CB_Kind->OnChange = f.CB_Kind->OnClick = f.E_Value->OnChange = f.CH_Opt->OnClick = count;
  r1->OnClick = r2->OnClick = memo->OnChange = list->OnClick = dtp->OnChange = count;
  f.L_Info->OnClick = count;

  f.CB_Kind->Items.Assign(std::vector<std::string>{"b", "a", "c"});
  f.CB_Kind->ItemIndex = 1;
  f.CB_Kind->Select(2);
  f.CB_Kind->Text = "x";
  f.E_Value->Text = "12";
  f.CH_Opt->Checked = true;
  r1->SetChecked(true);
  r2->SetChecked(true);
  memo->SetText("one\r\ntwo");
  memo->Lines.Add("three");
  list->Items.Add("x");
  list->ItemIndex = 0;
  dtp->SetDate(40000.0);
  f.L_Info->Caption = "Text";
  EXPECT_EQ(events, 0);
  EXPECT_FALSE(r1->Checked) << "checking by code still unchecks the siblings";

  f.CB_Kind->DoSelect(0);  // the user picks "b"
  EXPECT_EQ(f.CB_Kind->Text, "b");
  EXPECT_EQ(events, 2) << "OnClick and OnChange";
  f.CB_Kind->DoSelect(7);  // no such item
  EXPECT_EQ(events, 2);
  f.E_Value->DoSetText("12");  // unchanged text: no event
  f.E_Value->DoSetText("13");
  f.CH_Opt->DoClick();
  EXPECT_FALSE(f.CH_Opt->Checked);
  r1->DoClick();
  EXPECT_TRUE(r1->Checked);
  EXPECT_FALSE(r2->Checked);
  memo->DoSetText("one\ntwo\nthree\n");  // the same lines in other line breaks
  memo->DoSetText("one\ntwo");
  dtp->DoSetDateTime(40000.5);
  EXPECT_EQ(events, 7);
  EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
}

// A memo's selection, as code or the user sets it, and the typing that
// replaces it. Offsets count a line break as its two bytes.
TEST_F(ControlsTest, MemoSelectionsAreReplacedByTyping) {
  SampleForm f("F", log);
  TMemo* memo = f.Make<TMemo>("Memo");
  int changes = 0;
  memo->OnChange = [&](TControl*) { ++changes; };
  memo->OnKeyPress = [](TControl*, char& key) {
    if (key == ',') key = '.';
    if (key == '#') key = 0;
  };
  struct Row {  // length -1: select all
    const char *text; int start, length; const char *selected, *typed, *after; int caret, left_selected, changes;
  };
  const Row rows[] = {
      {"BIKE POWER", 0, -1, "BIKE POWER\r\n", "x", "x\r\n", 1, 0, 1},
      {"eins\r\nzwei", 6, 4, "zwei", "2", "eins\r\n2\r\n", 7, 0, 1},
      {"abcd", 3, -2, "bc", "X", "aXd\r\n", 2, 0, 1},                  // backwards
      {"eins\r\nzwei", 5, 2, "\r\nz", "-", "eins-wei\r\n", 5, 0, 1},    // from between CR and LF
      {"ab", 1, 99, "b\r\n", "", "ab\r\n", 1, 3, 0},                   // kept within the text
      {"eins\r\nzwei", 6, 0, "", "\b", "einszwei\r\n", 4, 0, 1},       // a line break goes whole
      {"eins\r\nzwei", 0, 4, "eins", "\b\b", "\r\nzwei\r\n", 0, 0, 1},   // nothing before the start
      {"eins", 2, 0, "", "\r", "ei\r\nns\r\n", 4, 0, 1},
      {"1", 1, 0, "", ",5", "1.5\r\n", 3, 0, 2},                        // through OnKeyPress
      {"ab", 0, 2, "ab", "#\t", "ab\r\n", 0, 2, 0},                     // eaten, no control characters
      {"same", 0, 1, "s", "s", "same\r\n", 1, 0, 0},
  };
  for (const Row& r : rows) {
    memo->SetText(r.text);
    if (r.length == -1) memo->SelectAll();
    else memo->Select(r.start, r.length);
    EXPECT_TRUE(memo->TakeSelectionRequest()) << r.text;
    EXPECT_EQ(memo->SelText(), r.selected) << r.text;
    changes = 0;
    for (const char* k = r.typed; *k; ++k) memo->DoType(*k);
    EXPECT_EQ(memo->Text(), r.after) << r.text;
    EXPECT_EQ(memo->SelStart(), r.caret) << r.text;
    EXPECT_EQ(memo->SelLength(), r.left_selected) << r.text;
    EXPECT_EQ(changes, r.changes) << r.text;
  }

  // Lines changed by code drop the selection: typing goes on at the end.
  memo->TakeSelectionRequest();
  memo->SetText("gym");
  memo->DoSelect(0, 3);  // the user's: nothing to show
  EXPECT_FALSE(memo->TakeSelectionRequest());
  memo->Lines.Assign(std::vector<std::string>{"gym", "core"});
  EXPECT_EQ(memo->SelLength(), 0);
  memo->DoType('!');
  memo->ReadOnly = true;
  memo->SelectAll();
  memo->DoType('x');
  EXPECT_EQ(memo->Text(), "gym\r\ncore!\r\n");
}

TEST_F(ControlsTest, ComboTypingAndSortingAndSelectKeepTextAndIndexTogether) {
  SampleForm f("F", log);
  TComboBox* cb = f.CB_Kind;
  cb->Items.Assign(std::vector<std::string>{"pear", "apple", "fig"});
  cb->Select(0);
  cb->Sorted = true;
  cb->ApplySorted();
  EXPECT_EQ(cb->Items.Lines(), (std::vector<std::string>{"apple", "fig", "pear"}));
  EXPECT_EQ(cb->ItemIndex, 2) << "still on pear";
  cb->Select(5);
  EXPECT_EQ(cb->ItemIndex, -1);
  EXPECT_EQ(cb->Text, "");
  std::string seen;
  cb->OnChange = [&](TControl* s) { seen = static_cast<TComboBox*>(s)->Text; };
  cb->DoSetText("fig");
  EXPECT_EQ(seen, "fig");
  EXPECT_EQ(cb->ItemIndex, 1);
  cb->DoSetText("kiwi");
  EXPECT_EQ(cb->ItemIndex, -1);
}

TEST_F(ControlsTest, CloseAndHideInsideHandlersRunWhenTheHandlerReturns) {
  SampleForm main("Main", log), f("F", log);
  main.Show();
  bool visible_inside = false;
  f.B_OK->OnClick = [&](TControl*) {
    f.Close();
    visible_inside = f.Visible;
    log.push_back("after close");
  };
  f.Show();
  f.B_OK->DoClick();
  EXPECT_TRUE(visible_inside);
  EXPECT_FALSE(f.Visible);
  Log tail(log.end() - 5, log.end());
  EXPECT_EQ(tail, (Log{"after close", "hidden F", "hide F", "deactivate F", "activate Main"}));
  EXPECT_TRUE(main.Active());

  // A form that closes itself in OnActivate: Show() returns, the form is hidden.
  log.clear();
  f.OnActivate = [&](TControl*) {
    f.Hide();
    f.Close();
    log.push_back("activated");
  };
  f.Show();
  EXPECT_FALSE(f.Visible);
  EXPECT_EQ(Only("activate"), (Log{"activated", "activate Main"}));

  // Close then Show in one handler: the later call wins.
  f.OnActivate = nullptr;
  f.Show();
  main.B_OK->OnClick = [&](TControl*) {
    f.Close();
    f.Show();
  };
  main.B_OK->DoClick();
  EXPECT_TRUE(f.Visible);
}

TEST_F(ControlsTest, OnCloseAndOnCloseQueryCanRefuse) {
  SampleForm main("Main", log), f("F", log);
  main.Show();
  f.Show();
  bool allow_query = false;
  TCloseAction action = TCloseAction::caNone;
  f.OnCloseQuery = [&](TControl*, bool& can) { can = allow_query; };
  f.OnClose = [&](TControl*, TCloseAction& a) { a = action; };
  f.Close();
  EXPECT_TRUE(f.Visible);
  allow_query = true;
  f.Close();
  EXPECT_TRUE(f.Visible) << "OnClose set caNone";
  action = TCloseAction::caHide;
  f.Close();
  EXPECT_FALSE(f.Visible);
  EXPECT_FALSE(Application().Terminated());
  // Closing the main form ends the program.
  main.Close();
  EXPECT_TRUE(Application().Terminated());
}

TEST_F(ControlsTest, ShowModalRunsANestedLoopAndReturnsTheModalResult) {
  SampleForm owner("Owner", log), dialog("Dialog", log);
  owner.Show();
  TargetId target = MainLoop().AddTarget([&](const Message& m) { log.push_back("message " + std::to_string(m.msg)); });
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
  WatchId watch = MainLoop().WatchFd(fds[0], [&](bool readable, bool) {
    char c;
    if (readable && read(fds[0], &c, 1) == 1) log.push_back("fd");
  });
  dialog.B_OK->ModalResult = mrOk;
  dialog.OnActivate = [&](TControl*) {
    log.push_back("activate Dialog");
    MainLoop().Post(target, {1025, 0, 0});
    EXPECT_EQ(write(fds[1], "x", 1), 1);
    MainLoop().StartTimer(5, true, [&] { log.push_back("timer"); });
    MainLoop().StartTimer(30, true, [&] { dialog.B_OK->DoClick(); });
  };
  int result = -1;
  owner.B_OK->OnClick = [&](TControl*) {
    result = dialog.ShowModal();
    log.push_back("returned");
  };
  log.clear();
  owner.B_OK->DoClick();
  EXPECT_EQ(result, mrOk);
  EXPECT_FALSE(dialog.Visible);
  EXPECT_FALSE(dialog.Modal());
  // Everything the loop had to do happened while the dialog was up, and
  // closing it gave the owner a new activation before ShowModal returned.
  Log expected{"activate Dialog", "message 1025", "fd", "timer", "activate Owner", "returned"};
  Log seen;
  for (const auto& l : log)
    if (std::find(expected.begin(), expected.end(), l) != expected.end()) seen.push_back(l);
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(owner.Active());
  MainLoop().UnwatchFd(watch);
  close(fds[0]);
  close(fds[1]);
}

TEST_F(ControlsTest, ModalFormsCloseThroughCloseQueryAndCancel) {
  SampleForm owner("Owner", log), dialog("Dialog", log);
  owner.Show();
  int refusals = 1;
  dialog.OnCloseQuery = [&](TControl*, bool& can) { can = refusals-- <= 0; };
  dialog.B_OK->ModalResult = mrYes;
  int step = 0;
  MainLoop().StartTimer(2, false, [&] {
    ++step;
    if (step == 1) dialog.B_OK->DoClick();  // refused once
    if (step == 3) {
      EXPECT_TRUE(dialog.Visible);
      EXPECT_EQ(dialog.ModalResult, mrNone);
      dialog.Close();  // accepted: cancel
    }
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_GE(step, 3);

  // Hide() ends a modal loop too (with cancel), even from inside a handler.
  MainLoop().StartTimer(2, true, [&] {
    dialog.B_OK->OnClick = [&](TControl*) { dialog.Hide(); };
    dialog.B_OK->ModalResult = mrNone;
    dialog.B_OK->DoClick();
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_FALSE(dialog.Visible);
}

TEST_F(ControlsTest, MouseDownComesBeforeClickAndDoubleClick) {
  SampleForm f("F", log);
  TControl* box = f.Make<TPanel>("P_Box");
  box->OnMouseDown = [&](TControl*, TMouseButton, TShiftState s, int x, int y) {
    log.push_back(Format("down %d %d%s", x, y, (s & ssDouble) ? " double" : ""));
  };
  box->OnClick = [&](TControl*) { log.push_back("click"); };
  box->OnDblClick = [&](TControl*) { log.push_back("dblclick"); };
  box->OnMouseUp = [&](TControl*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
  log.clear();
  // What the window reports for a double click.
  box->DoMouseDown(TMouseButton::mbLeft, ssLeft, 3, 4);
  box->DoClick();
  box->DoMouseUp(TMouseButton::mbLeft, 0, 3, 4);
  box->DoMouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 3, 4);
  box->DoDblClick();
  box->DoMouseUp(TMouseButton::mbLeft, 0, 3, 4);
  EXPECT_EQ(log, (Log{"down 3 4", "click", "up", "down 3 4 double", "dblclick", "up"}));
}

TEST_F(ControlsTest, KeyPreviewSeesKeysFirstAndConsumesThem) {
  SampleForm f("F", log);
  f.KeyPreview = true;
  f.OnKeyDown = [&](TControl* s, WORD& key, TShiftState) {
    log.push_back(Format("form %d", key));
    EXPECT_EQ(s, &f);
    if (key == VK_F5) key = 0;  // the help key of this window
  };
  f.E_Value->OnKeyDown = [&](TControl*, WORD& key, TShiftState) { log.push_back(Format("edit %d", key)); };
  f.OnKeyPress = [&](TControl*, char& key) {
    if (key == ',') key = '.';
  };
  f.E_Value->OnKeyPress = [&](TControl*, char& key) {
    if (key == 'x') key = 0;
  };
  log.clear();
  WORD key = VK_F5;
  f.E_Value->DoKeyDown(key, 0);
  EXPECT_EQ(key, 0);
  key = VK_F1;  // F1 is an ordinary key: it reaches the form and the control
  f.E_Value->DoKeyDown(key, 0);
  EXPECT_EQ(key, VK_F1);
  EXPECT_EQ(log, (Log{"form 116", "form 112", "edit 112"}));

  for (char c : std::string("1,5x")) f.E_Value->DoType(c);
  EXPECT_EQ(f.E_Value->Text, "1.5");
  f.E_Value->DoType('\b');
  EXPECT_EQ(f.E_Value->Text, "1.");
  f.E_Value->MaxLength = 2;
  f.E_Value->DoType('9');
  EXPECT_EQ(f.E_Value->Text, "1.");
  f.E_Value->ReadOnly = true;
  f.E_Value->DoType('\b');
  EXPECT_EQ(f.E_Value->Text, "1.");

  // A form without preview gets keys only when it has the focus itself.
  f.KeyPreview = false;
  log.clear();
  key = VK_F1;
  f.E_Value->DoKeyDown(key, 0);
  f.DoKeyDown(key, 0);
  EXPECT_EQ(log, (Log{"edit 112", "form 112"}));
}

TEST_F(ControlsTest, EnterAndEscapeClickTheDefaultAndCancelButtons) {
  SampleForm f("F", log);
  TButton* cancel = f.Make<TButton>("B_Cancel");
  f.B_OK->Default = true;
  cancel->Cancel = true;
  f.B_OK->OnClick = [&](TControl*) { log.push_back("ok"); };
  cancel->OnClick = [&](TControl*) { log.push_back("cancel"); };
  TMemo* memo = f.Make<TMemo>("Memo");
  f.Show();
  log.clear();
  WORD key = VK_RETURN;
  f.E_Value->DoKeyDown(key, 0);
  EXPECT_EQ(key, 0);
  key = VK_RETURN;
  memo->DoKeyDown(key, 0);  // a memo keeps its line breaks
  EXPECT_EQ(key, VK_RETURN);
  key = VK_ESCAPE;
  memo->DoKeyDown(key, 0);
  EXPECT_EQ(log, (Log{"ok", "cancel"}));
  // Enter on a focused button clicks that button, not the default one.
  log.clear();
  key = VK_RETURN;
  cancel->DoKeyDown(key, 0);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(log, (Log{"cancel"}));
}

TEST_F(ControlsTest, ExceptionsFromHandlersAreShownAndTheProgramGoesOn) {
  SampleForm f("F", log);
  f.OnActivate = [&](TControl*) { throw std::runtime_error("activation failed"); };
  f.B_OK->OnClick = [&](TControl*) { throw 42; };
  f.Show();
  EXPECT_TRUE(f.Visible);
  f.B_OK->DoClick();
  f.CH_Opt->OnClick = [&](TControl*) { log.push_back("still working"); };
  f.CH_Opt->DoClick();
  EXPECT_EQ(Application().ShownMessages, (Log{"activation failed", "Unknown exception"}));
  EXPECT_EQ(Only("box"), (Log{"box activation failed", "box Unknown exception"}));
  EXPECT_EQ(Only("still"), (Log{"still working"}));

  // A window may take over showing them.
  Application().OnException = [&](const std::string& what) { log.push_back("own " + what); };
  f.B_OK->OnClick = [&](TControl*) { throw std::logic_error("bad"); };
  f.B_OK->DoClick();
  EXPECT_EQ(Only("own"), (Log{"own bad"}));
}

TEST_F(ControlsTest, HandlersMayReplaceTheirOwnEvent) {
  SampleForm f("F", log);
  int calls = 0;
  f.B_OK->OnClick = [&, big = std::vector<int>(100, 1)](TControl*) {
    f.B_OK->OnClick = nullptr;  // destroys the handler that is running
    calls += big[99];
  };
  f.B_OK->DoClick();
  f.B_OK->DoClick();
  EXPECT_EQ(calls, 1);
}

TEST_F(ControlsTest, SpeedButtonGroupsAndButtonsModalResult) {
  SampleForm f("F", log);
  auto* a = f.Make<TSpeedButton>("SB_A", f.P_Tools);
  auto* b = f.Make<TSpeedButton>("SB_B", f.P_Tools);
  auto* other = f.Make<TSpeedButton>("SB_C");  // another parent: another group
  a->GroupIndex = b->GroupIndex = other->GroupIndex = 1;
  other->Down = true;
  a->DoClick();
  EXPECT_TRUE(a->Down);
  b->DoClick();
  EXPECT_TRUE(b->Down);
  EXPECT_FALSE(a->Down);
  EXPECT_TRUE(other->Down);
  b->DoClick();
  EXPECT_TRUE(b->Down) << "stays down without AllowAllUp";
  b->AllowAllUp = true;
  b->DoClick();
  EXPECT_FALSE(b->Down);
  auto* plain = f.Make<TSpeedButton>("SB_P");
  plain->DoClick();
  EXPECT_FALSE(plain->Down);

  f.B_OK->ModalResult = mrOk;
  f.B_OK->OnClick = [&](TControl*) { log.push_back(Format("result %d", f.ModalResult)); };
  f.B_OK->DoClick();
  EXPECT_EQ(Only("result"), (Log{"result 1"}));
}

TEST_F(ControlsTest, TimersRunHandlersOnTheMainLoop) {
  SampleForm f("F", log);
  TTimer* timer = f.MakeTimer("Timer1");
  int ticks = 0;
  timer->OnTimer = [&](TTimer* t) {
    EXPECT_EQ(t, timer);
    if (++ticks == 3) {
      t->SetEnabled(false);
      f.Close();  // deferred until the handler returns
      EXPECT_TRUE(f.Visible);
    }
  };
  f.Show();
  timer->SetInterval(2);
  timer->SetEnabled(true);
  EXPECT_TRUE(MainLoop().RunUntil([&] { return !f.Visible; }, 2000));
  MainLoop().RunUntil([] { return false; }, 20);
  EXPECT_EQ(ticks, 3);
  timer->OnTimer = [&](TTimer*) { throw std::runtime_error("tick failed"); };
  timer->SetEnabled(true);
  EXPECT_TRUE(MainLoop().RunUntil([&] { return !Application().ShownMessages.empty(); }, 2000));
  timer->SetEnabled(false);
  EXPECT_EQ(Application().ShownMessages.front(), "tick failed");
}

TEST_F(ControlsTest, AutoSizeLabelsFollowCaptionAndFont) {
  SampleForm f("F", log);
  TLabel* l = f.L_Info;
  l->SetCaption("Hi");
  const int narrow = l->Width;
  EXPECT_GT(narrow, 0);
  EXPECT_GT(l->Height, 8);
  l->SetCaption("Hi there, a much longer caption");
  const int normal = l->Width;
  EXPECT_GT(normal, narrow * 3);
  l->Font.Size = 16;
  l->AdjustSize();
  EXPECT_GT(l->Height, 18);
  // A plain assignment is measured once the running handler returns.
  f.CH_Opt->OnClick = [&](TControl*) { l->Caption = "x"; };
  f.CH_Opt->DoClick();
  EXPECT_LT(l->Width, narrow * 2);
  // Right-justified labels keep their right edge.
  TLabel* r = f.Make<TLabel>("L_Right");
  r->Alignment = TAlignment::taRightJustify;
  r->SetBounds(100, 0, 50, 13);
  r->SetCaption("wide wide wide wide");
  EXPECT_EQ(r->Left + r->Width, 150);
}

TEST_F(ControlsTest, ClientSizeFollowsTheFrameTheWindowReported) {
  SampleForm f("F", log);
  EXPECT_EQ(f.ClientWidth(), 500 - TForm::kFrameWidth);
  f.Width = 600;
  f.Height = 420;
  f.SetActualClientSize(590, 390);  // the window's real frame
  f.Width = 700;                     // later changes keep that frame
  EXPECT_EQ(f.ClientWidth(), 690);
  EXPECT_EQ(f.ClientHeight(), 390);
  log.clear();
  f.SetClientSize(300, 200);
  EXPECT_EQ(f.Width, 310);
  EXPECT_EQ(f.Height, 230);
  EXPECT_EQ(Only("resize"), (Log{"resize F"}));
  f.SetClientSize(300, 200);
  EXPECT_EQ(Only("resize").size(), 1u) << "same size: no resize event";
}

// A sizeable window opens at least at its smallest client size, once laid
// out (one OnResize); a maximised window and a fixed dialog are left alone;
// a window already large enough keeps its size.
TEST_F(ControlsTest, AWindowNeverOpensBelowItsSmallestSize) {
  SampleForm f("F", log);
  f.MinClientWidth = 400;
  f.MinClientHeight = 300;
  f.SetClientSize(300, 200);  // a size its code set, or the user's before the smallest size grew
  log.clear();
  f.Show();
  EXPECT_EQ(f.ClientWidth(), 400);
  EXPECT_EQ(f.ClientHeight(), 300);
  EXPECT_EQ(Only("resize"), (Log{"resize F", "resize F"}));  // laid out at its first showing, then grown
  f.Hide();
  f.SetClientSize(450, 250);
  log.clear();
  f.Show();
  EXPECT_EQ(f.ClientWidth(), 450);
  EXPECT_EQ(f.ClientHeight(), 300);
  EXPECT_EQ(Only("resize"), (Log{"resize F"}));
  f.Hide();
  f.SetClientSize(500, 350);
  f.Show();
  EXPECT_EQ(f.ClientWidth(), 500);
  EXPECT_EQ(f.ClientHeight(), 350);
  f.Hide();
  for (auto [state, border] : {std::pair{TWindowState::wsMaximized, TFormBorderStyle::bsSizeable},
                               std::pair{TWindowState::wsNormal, TFormBorderStyle::bsDialog}}) {
    SampleForm g("G", log);
    g.MinClientWidth = 400;
    g.MinClientHeight = 300;
    g.WindowState = state;
    g.BorderStyle = border;
    g.SetClientSize(200, 100);
    g.Show();
    EXPECT_EQ(g.ClientWidth(), 200);
    EXPECT_EQ(g.ClientHeight(), 100);
    g.Hide();
  }
}

// New texts: a shown window lays itself out at once, a hidden one when it
// shows next (and only then); a window not yet constructed waits.
TEST_F(ControlsTest, NewTextsLayAWindowOutWhenItShows) {
  SampleForm f("F", log);
  f.Show();
  log.clear();
  f.TextsChanged();
  EXPECT_EQ(Only("resize"), (Log{"resize F"}));
  f.Hide();
  log.clear();
  f.TextsChanged();
  EXPECT_TRUE(Only("resize").empty());
  f.Show();
  EXPECT_EQ(Only("resize"), (Log{"resize F"}));
  f.Hide();
  log.clear();
  f.Show();
  EXPECT_TRUE(Only("resize").empty()) << "shown again without new texts";
}

// A control widened to its caption shows it whole with the room its
// widget keeps (a button's frame, a check box's box, a combo box's arrow:
// at least 8, 21 and 25 pixels), never below the least width asked for; its
// left edge stays. A combo box takes its widest item.
TEST_F(ControlsTest, ControlsWidenToTheirCaptions) {
  SampleForm f("F", log);
  const std::string text = "Suavizar curva de la potencia";
  const int tw = MeasureTextWidth(TFont{}, text);
  struct Case {
    TControl* control;
    int room;
  };
  f.CB_Kind->Items.Assign(std::vector<std::string>{"1", text, "22"});
  f.CB_Kind->Select(0);
  for (const Case& c : {Case{f.B_OK, 8}, Case{f.CH_Opt, 21}, Case{f.CB_Kind, 25}}) {
    c.control->Caption = c.control == f.CB_Kind ? "" : text;
    c.control->SetBounds(7, 3, 20, c.control->Height);
    FitWidthToCaption(*c.control, 40);
    EXPECT_GE(c.control->Width, tw + c.room) << c.control->Name;
    EXPECT_LE(c.control->Width, tw + c.room + 12) << c.control->Name;
    EXPECT_EQ(c.control->Left, 7);
    c.control->Caption = "x";
    if (c.control == f.CB_Kind) f.CB_Kind->Items.Assign(std::vector<std::string>{"x"});
    FitWidthToCaption(*c.control, 140);
    EXPECT_EQ(c.control->Width, 140) << c.control->Name;
  }
  // A caption of two lines: its wider line.
  f.B_OK->Caption = "ab\r\n" + text;
  FitWidthToCaption(*f.B_OK);
  EXPECT_GE(f.B_OK->Width, tw + 8);
  EXPECT_LE(f.B_OK->Width, tw + 20);
}

TEST_F(ControlsTest, FocusMovesInTabOrderAndReportsEnterAndExit) {
  SampleForm f("F", log);
  f.Show();
  EXPECT_TRUE(f.B_OK->Focused()) << "the keyboard starts on the first control in tab order";
  f.Hide();
  f.CB_Kind->SetFocus();
  f.Show();
  EXPECT_TRUE(f.CB_Kind->Focused()) << "a control chosen by code keeps the focus";
  f.Hide();
  f.CB_Kind->Enabled = false;
  f.Show();
  EXPECT_TRUE(f.B_OK->Focused()) << "a control that cannot take the focus gives it up";
  f.CB_Kind->Enabled = true;
  f.E_Value->OnEnter = [&](TControl*) { log.push_back("enter edit"); };
  f.E_Value->OnExit = [&](TControl*) { log.push_back("exit edit"); };
  f.E_Value->SetFocus();
  EXPECT_TRUE(f.E_Value->Focused());
  EXPECT_TRUE(Only("enter").empty()) << "focus set by code fires nothing";
  // Tab order: panel (B_OK, E_Value), combo, check box.
  f.SelectNext(f.E_Value);
  EXPECT_TRUE(f.CB_Kind->Focused());
  f.SelectNext(f.CB_Kind, false);
  EXPECT_TRUE(f.E_Value->Focused());
  f.SelectNext(f.CH_Opt);
  EXPECT_TRUE(f.B_OK->Focused()) << "wraps around";
  f.E_Value->DoEnter();
  f.CH_Opt->DoEnter();
  EXPECT_EQ(Only("e"), (Log{"enter edit", "exit edit"}));
}

TEST_F(ControlsTest, MessageBoxesAndFileDialogsGoThroughTheBackend) {
  backend_->answer = IDNO;
  EXPECT_EQ(Application().MessageBox("Delete?", "tavlog", MB_YESNO), IDNO);
  TSaveDialog save;
  save.Title = "Export";
  EXPECT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName, "/tmp/picked.csv");
  // The headless default answers with the first button and no file.
  Application().SetBackend(nullptr);
  EXPECT_EQ(Application().MessageBox("Delete?", "tavlog", MB_YESNO), IDYES);
  EXPECT_EQ(Application().MessageBox("Go on?", "tavlog", MB_OKCANCEL), IDOK);
  TOpenDialog open;
  EXPECT_FALSE(open.Execute());
}

TEST(RtfToText, KeepsTheTextAndDropsTheRest) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Courier;}}"
      "{\\colortbl ;\\red255\\green0\\blue0;}{\\*\\generator Writer 1.0;}"
      "\\viewkind4\\uc1\\pard\\f0\\fs20 Hilfe zur Auswertung\\par\r\n"
      "\\b Gr\\'f6\\'dfe\\b0 : 5\\tab W\\par\r\n"
      "Klammern \\{ \\} und \\\\ bleiben,\\line Euro \\u8364? und \\u-4064?x\\par\r\n"
      "{\\pict\\wmetafile8 0a0b0c0d}Ende}";
  EXPECT_EQ(RtfToText(rtf),
            "Hilfe zur Auswertung\r\n"
            "Gr\xF6\xDF" "e: 5\tW\r\n"
            "Klammern { } und \\ bleiben,\r\nEuro \x80 und ?x\r\n"
            "Ende");
}

TEST(RtfToText, DamagedInputStaysInItsBounds) {
  for (const char* bad : {"{\\rtf1 \\'", "{\\rtf1 \\'4", "{\\rtf1 }}}} text", "{\\rtf1 \\u99999999999 x",
                          "\\", "{{{{{{", "{\\rtf1 \\par-"})
    EXPECT_NO_THROW(RtfToText(bad)) << bad;
  EXPECT_EQ(RtfToText("{\\rtf1 }}}} text"), " text");
}

TEST(RichEdit, LoadsRtfAndPlainFiles) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / Format("tav_richedit_%d", static_cast<int>(getpid()));
  fs::create_directories(dir);
  ASSERT_TRUE(WriteFileAtomically(dir / "a.rtf", "{\\rtf1 Zeile 1\\par Zeile 2\\par}"));
  ASSERT_TRUE(WriteFileAtomically(dir / "b.txt", "eins\r\nzwei"));
  TRichEdit edit;
  EXPECT_TRUE(edit.LoadFromFile(dir / "a.rtf"));
  EXPECT_EQ(edit.Lines.Lines(), (std::vector<std::string>{"Zeile 1", "Zeile 2"}));
  EXPECT_TRUE(edit.LoadFromFile(dir / "b.txt"));
  EXPECT_EQ(edit.Lines.Lines(), (std::vector<std::string>{"eins", "zwei"}));
  EXPECT_FALSE(edit.LoadFromFile(dir / "missing.rtf"));
  EXPECT_EQ(edit.Lines.Count(), 2) << "unchanged after a failed load";
  fs::remove_all(dir);
}

namespace {

// The hint a control shows: the text before '|', and the disabled note on a
// line of its own only while the control is disabled.
TEST(ShownHint, AddsTheDisabledNoteOnlyWhileDisabled) {
  const struct {
    const char* hint;
    const char* note;
    bool enabled, show_hint;
    const char* shown;
  } rows[] = {
      {"Rider and bike|long text", "Not here.", false, true, "Rider and bike\nNot here."},
      {"Rider and bike|long text", "Not here.", true, true, "Rider and bike"},
      {"Rider and bike", "", false, true, "Rider and bike"},
      {"", "Not here.", false, true, "Not here."},
      {"Rider and bike", "Not here.", false, false, ""},
  };
  for (const auto& r : rows) {
    tav::TButton b;
    b.Hint = r.hint;
    b.DisabledNote = r.note;
    b.Enabled = r.enabled;
    b.ShowHint = r.show_hint;
    EXPECT_EQ(b.ShownHint(), r.shown) << r.hint << " / " << r.note << " " << r.enabled;
  }
}

}  // namespace
