// The window model: forms and controls as plain C++ objects.
//
// Controls hold their state in public members; the Qt backend (platform/qt)
// only shows them and feeds user input back through the Do... methods, which
// fire the events. Rules that window code relies on:
//  - Setting a property from code fires no event; only user input does.
//  - TForm::Show() on a hidden form makes it visible and runs OnActivate
//    before it returns; Close() and Hide() are safe inside any handler.
//  - Mouse down reaches its handler before click and double click.
//  - With KeyPreview the form sees keys first and consumes them by setting
//    the key to 0.
//  - Every handler runs through TApplication::Dispatch: an exception that
//    escapes it is shown in a message box and the program goes on.
//  - No OnActivate, OnResize or OnPaint runs while a form is being
//    constructed: a form class derives from TForm, creates its controls with
//    Make<T>(name[, parent]) in its constructor and calls FinishCreate() last:
//
//      class TForm9 : public TForm {
//       public:
//        TForm9() {
//          Name = "Form9";
//          L_Info1 = Make<TLabel>("L_Info1");
//          P_Tools = Make<TPanel>("P_Tools");
//          SB_DB = Make<TSpeedButton>("SB_DB", P_Tools);
//          SB_DB->OnClick = [this](TControl* s) { SB_DBClick(s); };
//          OnActivate = [this](TControl* s) { FormActivate(s); };
//          FinishCreate();
//        }
//        ...
//      };
//  - Close() and Hide() inside a handler take effect when the outermost
//    handler returns; a later Show() in the same handler cancels them.
//  - A closing modal form and a hidden active form hand the activation to the
//    window that was active before (its OnActivate runs).
// Colours are 0x00BBGGRR values, texts Windows-1252 bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/strings.h"

namespace tav {

class TCanvas;   // platform/canvas.h
class TBitmap;   // platform/canvas.h
class TForm;
class TControl;

using TColor = uint32_t;  // 0x00BBGGRR
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clRed = 0x0000FF, clLime = 0x00FF00,
                 clBlue = 0xFF0000, clYellow = 0x00FFFF, clAqua = 0xFFFF00, clFuchsia = 0xFF00FF,
                 clGray = 0x808080, clSilver = 0xC0C0C0, clMaroon = 0x000080, clGreen = 0x008000,
                 clNavy = 0x800000, clOlive = 0x008080, clPurple = 0x800080, clTeal = 0x808000,
                 clBtnFace = 0xF0F0F0, clWindow = 0xFFFFFF, clWindowText = 0x000000,
                 clInfoBk = 0xE1FFFF, clNone = 0x1FFFFFFF;

constexpr int RGBColor(int r, int g, int b) { return (b << 16) | (g << 8) | r; }

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  bool operator==(const TRect&) const = default;
};
struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
// Shift state bits.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;

// Virtual key codes as the key handlers see them.
using WORD = uint16_t;
constexpr WORD VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17,
               VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35,
               VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40,
               VK_INSERT = 45, VK_DELETE = 46, VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72,
               VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75, VK_F7 = 0x76, VK_F8 = 0x77,
               VK_F9 = 0x78, VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B;

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFont {
  std::string Name = "Tahoma";
  int Size = 8;            // points at 96 dpi (1 pt = 4/3 px)
  unsigned Style = 0;      // TFontStyle bits
  TColor Color = clBlack;
  bool FixedPitch = false; // maps to a monospace family
  int PixelHeight() const { return (Size * 96 + 36) / 72; }
  void SetPixelHeight(int px) { Size = (px * 72 + 48) / 96; }
  bool operator==(const TFont&) const = default;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TControlKind {
  Form, Panel, Label, StaticText, SpeedButton, Button, Edit, Memo, RichEdit, ComboBox, ListBox,
  CheckBox, RadioButton, Shape, Image, PaintBox, ProgressBar, DateTimePicker, StringGrid, Chart,
  GroupBox, TrackBar, UpDown, Custom
};

using TNotifyEvent = std::function<void(TControl* sender)>;
using TMouseEvent = std::function<void(TControl* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TControl* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TControl* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TControl* sender, char& key)>;

// Base of every control and of forms.
class TControl {
 public:
  explicit TControl(TControlKind kind) : kind_(kind) {}
  virtual ~TControl();
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  TControlKind Kind() const { return kind_; }

  std::string Name;
  int Tag = 0;
  int Left = 0, Top = 0, Width = 100, Height = 25;
  bool Visible = true;
  bool Enabled = true;
  std::string Caption;  // labels, buttons, panels, check boxes, forms
  std::string Hint;
  bool ShowHint = true;
  // A line the hint shows below its text while the control is disabled
  // (why it is); empty for none.
  std::string DisabledNote;
  TFont Font;
  TColor Color = clBtnFace;
  bool ParentFont = false;
  TControl* Parent = nullptr;  // a form, panel, chart ... (null: the form's client area)
  TForm* OwnerForm = nullptr;  // the form the control belongs to
  int TabOrder = 0;
  int Cursor = 0;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnResize;

  void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return {Left, Top, Left + Width, Top + Height}; }
  virtual int ClientWidth() const { return Width; }
  virtual int ClientHeight() const { return Height; }
  TRect ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }
  // Position of a client point in the coordinates of the owning form's client area.
  TPoint ClientToForm(TPoint p) const;

  void Show() { Visible = true; }
  void Hide() { Visible = false; }
  bool Showing() const;  // visible, and every parent visible (the form included)
  // The hint as the window shows it: the text before a '|', then, while the
  // control is disabled, DisabledNote on a line of its own; empty without
  // ShowHint.
  std::string ShownHint() const;
  // The form the control sits on (the form itself for a form).
  TForm* Form() const;
  // Z order among the siblings (higher is in front).
  void BringToFront();
  void SendToBack();
  int ZOrder = 0;
  // Gives the control the keyboard focus (no OnEnter/OnExit: those follow
  // the user's focus changes, reported by the window).
  void SetFocus();
  bool Focused() const;
  // The window reports that the user moved the focus here: OnExit of the
  // previous control, then OnEnter of this one.
  void DoEnter();

  // Asks the window to repaint the control (custom-drawn controls).
  void Invalidate() { ++paint_generation_; }
  void Repaint() { Invalidate(); }
  void Refresh() { Invalidate(); }
  uint64_t PaintGeneration() const { return paint_generation_; }

  // Custom-drawn controls (images, paint boxes, grids, charts, shapes)
  // paint themselves on a canvas of their client size.
  virtual bool CustomDrawn() const { return false; }
  virtual void Paint(TCanvas& canvas);

  // User input, called by the backend or by tests. They fire the events in
  // the order a user's action produces them.
  virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoMouseMove(TShiftState shift, int x, int y);
  virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoClick();
  virtual void DoDblClick();
  // Key input: goes through the form's key preview first.
  virtual void DoKeyDown(WORD& key, TShiftState shift);
  virtual void DoKeyPress(char& key);
  virtual void DoKeyUp(WORD& key, TShiftState shift);
  // Mouse wheel over the control: delta in eighths of a degree (120 per
  // notch, positive away from the user). True when the control scrolled.
  virtual bool DoMouseWheel(TShiftState, int /*delta*/, int /*x*/, int /*y*/) { return false; }
  void DoResize();

  // The controls whose Parent is this one, back to front. Follows Parent
  // even when window code assigns it directly.
  std::vector<TControl*>& Children();
  const std::vector<TControl*>& Children() const;
  // The children as last linked (after the form's Children()), without
  // looking for new Parent assignments; for the window backend.
  const std::vector<TControl*>& LinkedChildren() const { return children_; }

 protected:
  friend class TForm;
  friend class TApplication;
  // Runs an event handler through the application (deferred closes,
  // exceptions shown). The handler is copied first, so it may reassign the
  // event it belongs to.
  template <class F, class... A>
  static void Fire(const F& event, A&&... args);
  TControlKind kind_;
  std::vector<TControl*> children_;
  TControl* linked_parent_ = nullptr;  // the Parent children_ was built for
  uint64_t paint_generation_ = 0;
  uint64_t creation_index_ = 0;
};

// The text broken between words (and at line feeds) into lines no wider
// than `width` in the font. A word wider than that stands on a line alone,
// or with `break_words` is cut into pieces that fit (after its last '/' or
// '\\' that fits, else after its last character that fits).
std::vector<std::string> WrapToWidth(const TFont& font, const std::string& text, int width,
                                     bool break_words = false);

class TLabel : public TControl {
 public:
  TLabel() : TControl(TControlKind::Label) { Color = clNone; Height = 13; }
  bool AutoSize = true;   // width and height follow the caption in the label's font
  bool Transparent = true;
  bool WordWrap = false;
  TAlignment Alignment = TAlignment::taLeftJustify;
  // Sets the caption and, with AutoSize, the size measured in Font.
  void SetCaption(std::string text);
  void AdjustSize();
  // With AutoSize: measures again when Caption or Font changed since the
  // last measurement (run after every handler, so plain assignments to
  // Caption resize the label too).
  void AutoSizeIfChanged();

 private:
  std::string sized_caption_;
  TFont sized_font_;
  bool sized_ = false;
  bool sized_wrap_ = false;
};

class TStaticText : public TLabel {
 public:
  TStaticText() { kind_ = TControlKind::StaticText; }
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };
class TPanel : public TControl {
 public:
  TPanel() : TControl(TControlKind::Panel) { Width = 185; Height = 41; }
  TBevelCut BevelOuter = TBevelCut::bvRaised;
  TBevelCut BevelInner = TBevelCut::bvNone;
  TAlignment Alignment = TAlignment::taCenter;
};

class TGroupBox : public TControl {
 public:
  TGroupBox() : TControl(TControlKind::GroupBox) {}
};

class TSpeedButton : public TControl {
 public:
  TSpeedButton() : TControl(TControlKind::SpeedButton) { Width = 23; Height = 22; }
  bool Flat = false;
  bool Down = false;
  int GroupIndex = 0;      // buttons of one non-zero group stay down one at a time
  bool AllowAllUp = false;
  std::shared_ptr<TBitmap> Glyph;  // may be null
  int NumGlyphs = 1;
  void DoClick() override;  // handles Down and the group before OnClick
};

enum class TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                                mrIgnore = 5, mrYes = 6, mrNo = 7 };
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7;

class TButton : public TControl {
 public:
  TButton() : TControl(TControlKind::Button) { Width = 75; }
  int ModalResult = mrNone;  // clicking sets the form's ModalResult
  bool Default = false;
  bool Cancel = false;
  void DoClick() override;
};

class TEdit : public TControl {
 public:
  TEdit() : TControl(TControlKind::Edit) { Color = clWindow; Height = 21; }
  std::string Text;
  char PasswordChar = 0;
  bool ReadOnly = false;
  int MaxLength = 0;  // 0: no limit
  TNotifyEvent OnChange;
  void SelectAll() { select_all_requested_ = true; }
  bool TakeSelectAllRequest() { bool r = select_all_requested_; select_all_requested_ = false; return r; }
  // User typing: runs OnKeyPress (which may change or eat the key), then edits.
  void DoType(char key);
  // User replaced the whole text (paste, edit in the window): fires OnChange.
  void DoSetText(std::string text);

 private:
  bool select_all_requested_ = false;
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
class TMemo : public TControl {
 public:
  TMemo() : TControl(TControlKind::Memo) { Color = clWindow; Width = 185; Height = 89; }
  TStringList Lines;
  bool ReadOnly = false;
  bool WordWrap = true;
  TScrollStyle ScrollBars = TScrollStyle::ssNone;
  TNotifyEvent OnChange;
  std::string Text() const { return Lines.Text(); }
  void SetText(std::string_view text) { Lines.SetText(text); }
  void Clear() { Lines.Clear(); }
  void DoSetText(std::string text);  // user edit

  // The selection, as byte offsets into Text() (a line break counts two).
  // Once the lines change through their list, the selection made before is
  // gone: the caret stands at the end of the text, as the window puts it.
  int SelStart() const;
  int SelLength() const;
  std::string SelText() const;
  // Selections by code, shown by the window. Both ends are kept within the
  // text, and an end between the CR and LF of a line break goes before the CR.
  void SelectAll() { Select(0, static_cast<int>(Text().size())); }
  void Select(int start, int length);
  bool TakeSelectionRequest() { bool r = selection_requested_; selection_requested_ = false; return r; }
  // The user's selection in the window (start and length as above); the
  // window is not asked to show it again.
  void DoSelect(int start, int length);
  // User typing: runs OnKeyPress (which may change or eat the key), then the
  // key replaces the selection: '\b' deletes it (or the character or line
  // break before the caret), '\r' and '\n' type a line break, other control
  // characters type nothing. Fires OnChange when the lines changed.
  void DoType(char key);

 private:
  void SetSelection(int start, int length);
  int sel_start_ = 0;
  int sel_length_ = 0;
  unsigned sel_version_ = 0;  // Lines.Version() the selection belongs to
  bool sel_set_ = false;
  bool selection_requested_ = false;
};

// Rich text is shown as its plain text.
class TRichEdit : public TMemo {
 public:
  TRichEdit() { kind_ = TControlKind::RichEdit; }
  // Loads an RTF (or plain) file as text; false when it cannot be read.
  bool LoadFromFile(const std::filesystem::path& path);
};
// The plain text of an RTF document: paragraphs and line breaks become
// CR LF, tabs stay, formatting, tables of fonts and colours, pictures and
// other destinations are dropped; \'hh bytes are Windows-1252 already.
std::string RtfToText(std::string_view rtf);

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
struct TOwnerDrawState { bool Selected = false; bool Focused = false; };
class TComboBox : public TControl {
 public:
  TComboBox() : TControl(TControlKind::ComboBox) { Color = clWindow; Width = 145; Height = 21; }
  TStringList Items;
  int ItemIndex = -1;
  std::string Text;  // the edit part; follows ItemIndex when the user picks
  bool Sorted = false;
  TComboBoxStyle Style = TComboBoxStyle::csDropDown;
  int DropDownCount = 8;
  int ItemHeight = 16;
  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  std::function<void(TControl* sender, int index, TRect rect, TOwnerDrawState state, TCanvas& canvas)> OnDrawItem;
  // Sets ItemIndex and Text together (no event).
  void Select(int index);
  // User picked an item: sets ItemIndex and Text, fires OnClick, then
  // OnSelect when set, else OnChange.
  void DoSelect(int index);
  void DoSetText(std::string text);  // user typed in the edit part
  // Sorts Items when Sorted is set (call after filling).
  void ApplySorted();
};

class TListBox : public TControl {
 public:
  TListBox() : TControl(TControlKind::ListBox) { Color = clWindow; Width = 121; Height = 97; }
  TStringList Items;
  int ItemIndex = -1;
  bool MultiSelect = false;
  std::vector<bool> Selected;  // per item with MultiSelect
  void Clear() { Items.Clear(); ItemIndex = -1; Selected.clear(); }
  void DoSelect(int index);  // user click on an item: ItemIndex, OnClick
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
class TCheckBox : public TControl {
 public:
  TCheckBox() : TControl(TControlKind::CheckBox) { Width = 97; Height = 17; }
  bool Checked = false;
  void DoClick() override;  // toggles, then OnClick
};

class TRadioButton : public TControl {
 public:
  TRadioButton() : TControl(TControlKind::RadioButton) { Width = 113; Height = 17; }
  bool Checked = false;
  // Checking by code also unchecks the siblings with the same parent (no event).
  void SetChecked(bool on);
  void DoClick() override;  // checks this one (siblings off), then OnClick
};

enum class TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
class TShape : public TControl {
 public:
  TShape() : TControl(TControlKind::Shape) { Width = 65; Height = 65; }
  TShapeType Shape = TShapeType::stRectangle;
  TColor BrushColor = clWhite;
  bool BrushClear = false;
  TColor PenColor = clBlack;
  int PenWidth = 1;
  bool CustomDrawn() const override { return true; }
  void Paint(TCanvas& canvas) override;
};

class TProgressBar : public TControl {
 public:
  TProgressBar() : TControl(TControlKind::ProgressBar) { Width = 150; Height = 16; }
  int Min = 0, Max = 100, Position = 0;
  void StepBy(int n) { Position = std::min(Max, Position + n); }
};

enum class TDateTimeKind { dtkDate, dtkTime };
class TDateTimePicker : public TControl {
 public:
  TDateTimePicker() : TControl(TControlKind::DateTimePicker) { Color = clWindow; Width = 186; Height = 21; }
  TDateTimeKind Kind = TDateTimeKind::dtkDate;
  bool ShowDuration = false;  // time mode showing a duration (hh:mm:ss)
  double DateTime = 0.0;      // days since 30 Dec 1899 with the time as fraction
  double Date() const;        // whole days
  double Time() const;        // fraction
  void SetDate(double d);     // keeps the time part
  void SetTime(double t);     // keeps the date part
  TNotifyEvent OnChange;
  void DoSetDateTime(double value);  // user changed it: fires OnChange
};

class TTrackBar : public TControl {
 public:
  TTrackBar() : TControl(TControlKind::TrackBar) { Width = 150; Height = 45; }
  int Min = 0, Max = 10, Position = 0;
  TNotifyEvent OnChange;
  void DoSetPosition(int p);
};

// A non-visual timer on the main event loop.
class TTimer {
 public:
  TTimer() = default;
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;
  std::string Name;
  int Tag = 0;
  std::function<void(TTimer* sender)> OnTimer;
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);

 private:
  void Restart();
  int interval_ = 1000;
  bool enabled_ = false;
  uint64_t timer_ = 0;
};

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// fsStayOnTop keeps the window above the program's other windows.
enum class TFormStyle { fsNormal, fsStayOnTop };

// A top-level window. Owns its controls; controls are registered by name.
class TForm : public TControl {
 public:
  TForm();
  ~TForm() override;

  // Creates a control owned by this form, registered under name.
  template <class T>
  T* Make(const std::string& name, TControl* parent = nullptr) {
    auto owned = std::make_unique<T>();
    T* raw = owned.get();
    Adopt(std::move(owned), name, parent);
    return raw;
  }
  TTimer* MakeTimer(const std::string& name);
  // The control of that name, or null.
  TControl* FindControl(const std::string& name) const;
  template <class T>
  T* Find(const std::string& name) const { return dynamic_cast<T*>(FindControl(name)); }
  const std::vector<std::unique_ptr<TControl>>& Controls() const { return owned_; }

  bool KeyPreview = false;
  TWindowState WindowState = TWindowState::wsNormal;
  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  TFormStyle FormStyle = TFormStyle::fsNormal;
  int ModalResult = mrNone;
  bool Active() const;
  bool Modal() const { return modal_depth_ > 0; }
  // Frame sizes of a normal window (caption and borders) on this platform.
  static constexpr int kFrameWidth = 16, kFrameHeight = 39;
  // The client area follows Width and Height: the frame is what the window
  // last reported (or the default frame before it was shown).
  int ClientWidth() const override {
    return std::max(0, client_width_ >= 0 ? client_width_ + Width - reported_width_ : Width - kFrameWidth);
  }
  int ClientHeight() const override {
    return std::max(0, client_height_ >= 0 ? client_height_ + Height - reported_height_ : Height - kFrameHeight);
  }
  void SetClientSize(int w, int h);
  // The smallest client area the user can size a sizeable window to (0: any).
  // A window shown while it is smaller (its code set a smaller size, or it
  // was left smaller before its smallest size grew) opens at that size.
  int MinClientWidth = 0, MinClientHeight = 0;
  // Grows the client area of a normal sizeable window to its smallest size;
  // true when it changed (OnResize has run).
  bool KeepMinClientSize();
  // The window's texts changed (another language): a shown window lays its
  // controls out again at once (OnResize), a hidden one when it shows next.
  void TextsChanged();
  void SetClientWidth(int w) { SetClientSize(w, ClientHeight()); }
  void SetClientHeight(int h) { SetClientSize(ClientWidth(), h); }
  // The backend reports the real client size of the shown window (after it
  // has set Width and Height to the outer size).
  void SetActualClientSize(int w, int h) {
    client_width_ = w;
    client_height_ = h;
    reported_width_ = Width;
    reported_height_ = Height;
  }
  // The control with the keyboard focus (null: the form itself).
  TControl* ActiveControl = nullptr;
  // Moves the focus to the next (or previous) enabled, showing control in
  // tab order after current, as the Tab key does.
  void SelectNext(TControl* current, bool forward = true);
  // Bumped by SetFocus so the window moves its focus even to the same control.
  uint64_t FocusRequest() const { return focus_request_; }
  // The canvas while OnPaint runs (null otherwise).
  TCanvas* Canvas() const { return paint_canvas_; }
  void Paint(TCanvas& canvas) override;
  // False until FinishCreate() has run.
  bool Created() const { return created_; }

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnCreate;
  TNotifyEvent OnPaint;
  std::function<void(TControl* sender, TCloseAction& action)> OnClose;
  std::function<void(TControl* sender, bool& can_close)> OnCloseQuery;

  // Makes the form visible and active; runs OnActivate before returning.
  // A form that becomes visible puts the focus on ActiveControl, or on the
  // first control in tab order when that is unset or cannot take it.
  void Show();
  // Counts the calls of Show(), also those on a visible form: a window can
  // tell an activation by code that opens it from the user coming back.
  uint64_t ShowCalls() const { return show_calls_; }
  // Runs a nested loop until the form closes or ModalResult is set; returns ModalResult.
  int ShowModal();
  // Hides the form (OnClose is not asked). Inside a handler the form hides
  // once the outermost handler returns.
  void Hide();
  // Asks OnCloseQuery and OnClose; hides unless refused. Deferred like Hide.
  void Close();
  void BringToFront();
  // Called by constructors of derived forms once their controls exist:
  // runs OnCreate (no OnActivate, OnResize or OnPaint while constructing).
  void FinishCreate();

  // A form-level canvas painting hook for forms that draw on themselves.
  bool CustomDrawn() const override { return static_cast<bool>(OnPaint); }
  // The user resized or maximised the window (the backend reports it).
  void DoWindowStateChange(TWindowState state);
  // The user pressed the window's close button.
  void DoCloseButton() { Close(); }

 private:
  friend class TApplication;
  friend class TControl;
  void Adopt(std::unique_ptr<TControl> control, const std::string& name, TControl* parent);
  void DoClose();  // the immediate close
  void HideNow();
  bool CloseQuery();  // OnCloseQuery and OnClose; false when refused
  void RelinkChildren();
  std::vector<TControl*> TabOrderList();
  int reported_width_ = 0, reported_height_ = 0;
  uint64_t focus_request_ = 0;
  uint64_t next_creation_index_ = 0;
  uint64_t show_calls_ = 0;
  TCanvas* paint_canvas_ = nullptr;
  bool created_ = false;
  bool shown_once_ = false;
  bool layout_due_ = false;  // TextsChanged while hidden
  std::vector<std::unique_ptr<TControl>> owned_;
  std::vector<std::unique_ptr<TTimer>> timers_;
  std::map<std::string, TControl*> by_name_;
  int client_width_ = -1, client_height_ = -1;
  int modal_depth_ = 0;
  bool close_pending_ = false;
  bool hide_pending_ = false;
};

// Makes sure a QGuiApplication exists, creating one on the offscreen
// platform when none does (fonts and drawing outside any window need it).
// False when only a non-GUI QCoreApplication exists.
bool EnsureGuiApplication();

// Message box flags and results.
constexpr unsigned MB_OK = 0, MB_OKCANCEL = 1, MB_YESNOCANCEL = 3, MB_YESNO = 4,
                   MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30,
                   MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

struct TFileDialogRequest {
  bool save = false;
  std::string Title, Filter, InitialDir, DefaultExt, FileName;
};

// Save and open dialogs: set the fields, Execute() returns true with FileName set.
class TOpenDialog {
 public:
  virtual ~TOpenDialog() = default;
  std::string Title, Filter, InitialDir, DefaultExt, FileName;
  bool Execute();

 protected:
  bool save_ = false;
};
class TSaveDialog : public TOpenDialog {
 public:
  TSaveDialog() { save_ = true; }
};

// What the windowing side provides. The headless default shows nothing,
// answers message boxes with their first button and file dialogs with "no".
class WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  virtual void FormShown(TForm*) {}
  virtual void FormHidden(TForm*) {}
  virtual void FormRaised(TForm*) {}
  virtual void ModalStarted(TForm*) {}
  virtual void ModalEnded(TForm*) {}
  // The form object is going away: drop its window.
  virtual void FormDestroyed(TForm*) {}
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  virtual bool FileDialog(TFileDialogRequest& request);
  // Text extent in a font (used by AutoSize labels and grid layouts).
  virtual TPoint TextExtent(const TFont& font, const std::string& text);
  // Brings the windows in line with the model (after every dispatched event).
  virtual void Sync() {}
};

// The application object: forms, activation, message boxes, exceptions.
class TApplication {
 public:
  friend class TForm;
  std::string Title = "tavlog";
  std::string ExeName;

  void SetBackend(std::unique_ptr<WindowBackend> backend);
  WindowBackend& Backend();

  const std::vector<TForm*>& Forms() const { return forms_; }
  TForm* MainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
  TForm* ActiveForm() const { return active_; }
  // Makes form the active one: runs its OnActivate (and the old one's
  // OnDeactivate) unless it is active already. The backend calls it when the
  // user moves between this program's windows.
  void ActivateForm(TForm* form);
  // The program lost the focus to another application: nothing runs, and
  // regaining it runs nothing either.
  void ApplicationDeactivated() {}

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags = MB_OK);
  void ShowMessage(const std::string& text) { MessageBox(text, Title, MB_OK); }
  // Shows an exception that escaped a handler; the program goes on. With
  // OnException set, that handler shows it instead.
  void ShowException(const std::string& what);
  std::function<void(const std::string& what)> OnException;
  // Runs a handler: deferred closes run when the outermost handler returns,
  // exceptions are shown.
  void Dispatch(const std::function<void()>& handler);
  int DispatchDepth() const { return dispatch_depth_; }

  void ProcessMessages();
  // Holds back every activation until Run(): call it before the forms are
  // constructed, then show the main form, then Run().
  void Initialize();
  void Run();        // until the main form closes or Terminate()
  void Terminate();
  bool Terminated() const { return terminated_; }

  // A nested loop (ShowModal) starts a fresh handler level: closes asked
  // for inside it run when its own handlers return.
  struct NestedState {
    int depth = 0;
    std::vector<TForm*> deferred;
  };
  NestedState BeginNestedLoop();
  void EndNestedLoop(NestedState saved);

  // Bookkeeping for forms (called by TForm).
  void RegisterForm(TForm* form);
  void UnregisterForm(TForm* form);
  void FormHidden(TForm* form);
  void DeferClose(TForm* form);
  void FormConstructed(TForm* form);  // FinishCreate ran
  // The texts of the message boxes shown so far (for tests of the headless mode).
  std::vector<std::string> ShownMessages;
  // The mouse on the screen at the last mouse event the window reported.
  // Handlers that move their own window follow this rather than their
  // control's coordinates, which lag while the window system moves it.
  TPoint CursorPos;

 private:
  void RunDeferred();
  void AfterOutermostHandler();
  int constructing_ = 0;
  bool starting_ = false;
  bool running_deferred_ = false;
  TForm* pending_activation_ = nullptr;
  std::vector<TForm*> forms_;
  std::vector<TForm*> activation_stack_;
  std::vector<TForm*> deferred_;
  TForm* active_ = nullptr;
  std::unique_ptr<WindowBackend> backend_;
  int dispatch_depth_ = 0;
  bool terminated_ = false;
};

TApplication& Application();

template <class F, class... A>
void TControl::Fire(const F& event, A&&... args) {
  if (!event) return;
  F handler = event;
  Application().Dispatch([&] { handler(std::forward<A>(args)...); });
}

struct TScreen {
  int Width = 1920;
  int Height = 1080;
};
TScreen& Screen();

}  // namespace tav
