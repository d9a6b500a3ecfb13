#include "platform/controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/eventloop.h"

namespace tav {

// ---------------------------------------------------------------- TControl

TControl::~TControl() {
  if (linked_parent_) {
    auto& siblings = linked_parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  for (TControl* child : children_) {
    child->linked_parent_ = nullptr;
    if (child->Parent == this) child->Parent = nullptr;
  }
}

TForm* TControl::Form() const {
  if (kind_ == TControlKind::Form) return static_cast<TForm*>(const_cast<TControl*>(this));
  return OwnerForm;
}

std::vector<TControl*>& TControl::Children() {
  if (TForm* form = Form()) form->RelinkChildren();
  return children_;
}

const std::vector<TControl*>& TControl::Children() const {
  if (TForm* form = Form()) form->RelinkChildren();
  return children_;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  const bool resized = width != Width || height != Height;
  Left = left;
  Top = top;
  Width = width;
  Height = height;
  if (resized) DoResize();
}

TPoint TControl::ClientToForm(TPoint p) const {
  for (const TControl* c = this; c && c->kind_ != TControlKind::Form; c = c->Parent) {
    p.X += c->Left;
    p.Y += c->Top;
  }
  return p;
}

std::string TControl::ShownHint() const {
  if (!ShowHint) return {};
  std::string shown = Hint.substr(0, Hint.find('|'));
  if (!Enabled && !DisabledNote.empty()) {
    if (!shown.empty()) shown += '\n';
    shown += DisabledNote;
  }
  return shown;
}

bool TControl::Showing() const {
  const TControl* c = this;
  for (; c; c = c->Parent) {
    if (!c->Visible) return false;
    if (c->kind_ == TControlKind::Form) return true;
  }
  // Not linked up to a form: the owning form decides.
  return !OwnerForm || OwnerForm->Visible;
}

void TControl::BringToFront() {
  TControl* parent = Parent;
  if (!parent) return;
  auto& siblings = parent->Children();
  int top = ZOrder;
  for (TControl* s : siblings) top = std::max(top, s->ZOrder);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  siblings.push_back(this);
  ZOrder = top + 1;
  if (TForm* form = Form()) form->Invalidate();
}

void TControl::SendToBack() {
  TControl* parent = Parent;
  if (!parent) return;
  auto& siblings = parent->Children();
  int bottom = ZOrder;
  for (TControl* s : siblings) bottom = std::min(bottom, s->ZOrder);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  siblings.insert(siblings.begin(), this);
  ZOrder = bottom - 1;
  if (TForm* form = Form()) form->Invalidate();
}

void TControl::SetFocus() {
  TForm* form = Form();
  if (!form) return;
  form->ActiveControl = form == this ? nullptr : this;
  ++form->focus_request_;
}

bool TControl::Focused() const {
  TForm* form = Form();
  if (!form) return false;
  return form == this ? form->ActiveControl == nullptr : form->ActiveControl == this;
}

void TControl::DoEnter() {
  TForm* form = Form();
  if (!form || form == this) return;
  TControl* old = form->ActiveControl;
  if (old == this) return;
  form->ActiveControl = this;
  if (old) Fire(old->OnExit, old);
  Fire(OnEnter, this);
}

void TControl::Paint(TCanvas&) {}

void TControl::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  Fire(OnMouseDown, this, button, shift, x, y);
}

void TControl::DoMouseMove(TShiftState shift, int x, int y) { Fire(OnMouseMove, this, shift, x, y); }

void TControl::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  Fire(OnMouseUp, this, button, shift, x, y);
}

void TControl::DoClick() { Fire(OnClick, this); }

void TControl::DoDblClick() { Fire(OnDblClick, this); }

namespace {

bool WantsReturn(const TControl* c) {
  return c->Kind() == TControlKind::Memo || c->Kind() == TControlKind::RichEdit;
}

// Enter clicks the focused button, else the form's default button; Escape
// clicks its cancel button.
bool DialogKey(TForm* form, TControl* focused, WORD key) {
  if (!form || (key != VK_RETURN && key != VK_ESCAPE)) return false;
  if (key == VK_RETURN && focused && WantsReturn(focused)) return false;
  if (key == VK_RETURN && focused && focused->Kind() == TControlKind::Button) {
    if (!focused->Showing() || !focused->Enabled) return false;
    focused->DoClick();
    return true;
  }
  for (const auto& owned : form->Controls()) {
    if (owned->Kind() != TControlKind::Button) continue;
    auto* button = static_cast<TButton*>(owned.get());
    if (!(key == VK_RETURN ? button->Default : button->Cancel)) continue;
    if (!button->Showing() || !button->Enabled) continue;
    button->DoClick();
    return true;
  }
  return false;
}

}  // namespace

void TControl::DoKeyDown(WORD& key, TShiftState shift) {
  TForm* form = Form();
  if (form && form != this && form->KeyPreview) {
    Fire(form->OnKeyDown, form, key, shift);
    if (!key) return;
  }
  Fire(OnKeyDown, this, key, shift);
  if (key && DialogKey(form, this == form ? nullptr : this, key)) key = 0;
}

void TControl::DoKeyPress(char& key) {
  TForm* form = Form();
  if (form && form != this && form->KeyPreview) {
    Fire(form->OnKeyPress, form, key);
    if (!key) return;
  }
  Fire(OnKeyPress, this, key);
}

void TControl::DoKeyUp(WORD& key, TShiftState shift) {
  TForm* form = Form();
  if (form && form != this && form->KeyPreview) {
    Fire(form->OnKeyUp, form, key, shift);
    if (!key) return;
  }
  Fire(OnKeyUp, this, key, shift);
}

void TControl::DoResize() {
  TForm* form = Form();
  if (form && !form->created_) return;  // no resize events while constructing
  Fire(OnResize, this);
}

// ------------------------------------------------------------------ TLabel

void TLabel::SetCaption(std::string text) {
  Caption = std::move(text);
  AdjustSize();
}

std::vector<std::string> WrapToWidth(const TFont& font, const std::string& text, int width, bool break_words) {
  WindowBackend& backend = Application().Backend();
  auto fits = [&](const std::string& t) { return backend.TextExtent(font, t).X <= width; };
  std::vector<std::string> lines;
  std::string line;
  std::size_t pos = 0;
  auto flush = [&] { lines.push_back(std::move(line)); line.clear(); };
  while (pos < text.size()) {
    std::size_t end = text.find_first_of(" \n", pos);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(pos, end - pos);
    while (break_words && word.size() > 1 && !fits(word)) {
      // The longest head that fits, ended after a folder separator if one fits.
      std::size_t n = 1;
      while (n < word.size() && fits(word.substr(0, n + 1))) ++n;
      const std::size_t sep = word.find_last_of("/\\", n - 1);
      if (sep != std::string::npos && sep > 0) n = sep + 1;
      if (!line.empty()) flush();
      line = word.substr(0, n);
      flush();
      word.erase(0, n);
    }
    std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && backend.TextExtent(font, candidate).X > width) {
      flush();
      line = word;
    } else {
      line = candidate;
    }
    if (end < text.size() && text[end] == '\n') flush();
    pos = end + 1;
  }
  if (!line.empty() || lines.empty()) flush();
  return lines;
}

void TLabel::AdjustSize() {
  sized_caption_ = Caption;
  sized_font_ = Font;
  sized_wrap_ = WordWrap;
  sized_ = true;
  if (!AutoSize) return;
  WindowBackend& backend = Application().Backend();
  int width, height;
  if (WordWrap && Width > 0) {
    // Keeps the width and grows downwards, breaking between words.
    const int lines = static_cast<int>(WrapToWidth(Font, Caption, Width).size());
    width = Width;
    height = lines * backend.TextExtent(Font, "Ag").Y;
  } else {
    TPoint extent = backend.TextExtent(Font, Caption);
    width = extent.X;
    height = extent.Y;
  }
  if (Alignment == TAlignment::taRightJustify) Left += Width - width;  // keeps the right edge
  Width = width;
  Height = height;
}

void TLabel::AutoSizeIfChanged() {
  if (!AutoSize) return;
  if (sized_ && sized_caption_ == Caption && sized_font_ == Font && sized_wrap_ == WordWrap) return;
  AdjustSize();
}

// ---------------------------------------------------------- button kinds

void TSpeedButton::DoClick() {
  if (GroupIndex != 0) {
    if (Down) {
      if (AllowAllUp) Down = false;
    } else {
      Down = true;
      if (TForm* form = Form())
        for (const auto& c : form->Controls()) {
          if (c.get() == this || c->Kind() != TControlKind::SpeedButton || c->Parent != Parent) continue;
          auto* other = static_cast<TSpeedButton*>(c.get());
          if (other->GroupIndex == GroupIndex) other->Down = false;
        }
    }
  }
  Fire(OnClick, this);
}

void TButton::DoClick() {
  if (ModalResult != mrNone)
    if (TForm* form = Form()) form->ModalResult = ModalResult;
  Fire(OnClick, this);
}

void TCheckBox::DoClick() {
  Checked = !Checked;
  Fire(OnClick, this);
}

void TRadioButton::SetChecked(bool on) {
  Checked = on;
  if (!on) return;
  if (TForm* form = Form())
    for (const auto& c : form->Controls())
      if (c.get() != this && c->Kind() == TControlKind::RadioButton && c->Parent == Parent)
        static_cast<TRadioButton*>(c.get())->Checked = false;
}

void TRadioButton::DoClick() {
  SetChecked(true);
  Fire(OnClick, this);
}

// ------------------------------------------------------------- text input

void TEdit::DoType(char key) {
  DoKeyPress(key);
  if (!key || ReadOnly) return;
  if (key == '\b') {
    if (Text.empty()) return;
    Text.pop_back();
  } else {
    if (static_cast<unsigned char>(key) < 32) return;
    if (MaxLength > 0 && static_cast<int>(Text.size()) >= MaxLength) return;
    Text += key;
  }
  Fire(OnChange, this);
}

void TEdit::DoSetText(std::string text) {
  if (MaxLength > 0 && static_cast<int>(text.size()) > MaxLength) text.resize(static_cast<std::size_t>(MaxLength));
  if (text == Text) return;
  Text = std::move(text);
  Fire(OnChange, this);
}

void TMemo::DoSetText(std::string text) {
  TStringList edited;
  edited.SetText(text);
  if (edited.Lines() == Lines.Lines()) return;
  Lines.Assign(edited.Lines());
  Fire(OnChange, this);
}

namespace {

// The offset inside the text, moved off the LF of a CR LF pair.
int MemoOffset(const std::string& text, int at) {
  const int size = static_cast<int>(text.size());
  at = std::clamp(at, 0, size);
  if (at > 0 && at < size && text[static_cast<std::size_t>(at - 1)] == '\r' &&
      text[static_cast<std::size_t>(at)] == '\n')
    --at;
  return at;
}

// The caret where the window leaves it after new lines: the end of the last line.
int MemoEnd(const std::string& text) {
  const int size = static_cast<int>(text.size());
  return size >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 ? size - 2 : size;
}

}  // namespace

void TMemo::SetSelection(int start, int length) {
  const std::string text = Text();
  long long from = start, to = static_cast<long long>(start) + length;
  if (to < from) std::swap(from, to);
  const long long size = static_cast<long long>(text.size());
  sel_start_ = MemoOffset(text, static_cast<int>(std::clamp(from, 0LL, size)));
  sel_length_ = MemoOffset(text, static_cast<int>(std::clamp(to, 0LL, size))) - sel_start_;
  sel_version_ = Lines.Version();
  sel_set_ = true;
}

int TMemo::SelStart() const {
  const std::string text = Text();
  if (!sel_set_ || sel_version_ != Lines.Version()) return MemoEnd(text);
  return MemoOffset(text, sel_start_);
}

int TMemo::SelLength() const {
  if (!sel_set_ || sel_version_ != Lines.Version()) return 0;
  const int size = static_cast<int>(Text().size());
  const int start = SelStart();
  return std::clamp(sel_start_ + sel_length_, start, size) - start;
}

std::string TMemo::SelText() const {
  return Text().substr(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()));
}

void TMemo::Select(int start, int length) {
  SetSelection(start, length);
  selection_requested_ = true;
}

void TMemo::DoSelect(int start, int length) { SetSelection(start, length); }

void TMemo::DoType(char key) {
  DoKeyPress(key);
  if (!key || ReadOnly) return;
  std::string text = Text();
  std::size_t start = static_cast<std::size_t>(SelStart());
  std::size_t length = static_cast<std::size_t>(SelLength());
  std::string typed;
  if (key == '\b') {
    if (length == 0 && start > 0) {
      length = start >= 2 && text.compare(start - 2, 2, "\r\n") == 0 ? 2 : 1;
      start -= length;
    }
  } else if (key == '\r' || key == '\n') {
    typed = "\r\n";
  } else if (static_cast<unsigned char>(key) < 32) {
    return;
  } else {
    typed.assign(1, key);
  }
  text.replace(start, length, typed);
  TStringList edited;
  edited.SetText(text);
  const bool changed = edited.Lines() != Lines.Lines();
  if (changed) Lines.Assign(edited.Lines());
  Select(static_cast<int>(start + typed.size()), 0);
  if (changed) Fire(OnChange, this);
}

bool TRichEdit::LoadFromFile(const std::filesystem::path& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  if (bytes.rfind("{\\rtf", 0) == 0)
    SetText(RtfToText(bytes));
  else
    SetText(bytes);
  return true;
}

// ------------------------------------------------------------------ lists

void TComboBox::Select(int index) {
  if (index < 0 || index >= Items.Count()) index = -1;
  ItemIndex = index;
  Text = index >= 0 ? Items[index] : std::string();
}

void TComboBox::DoSelect(int index) {
  if (index < 0 || index >= Items.Count()) return;
  Select(index);
  Fire(OnClick, this);
  if (OnSelect)
    Fire(OnSelect, this);
  else
    Fire(OnChange, this);
}

void TComboBox::DoSetText(std::string text) {
  if (text == Text) return;
  Text = std::move(text);
  ItemIndex = Items.IndexOf(Text);
  Fire(OnChange, this);
}

void TComboBox::ApplySorted() {
  if (!Sorted) return;
  std::string current = Items.At(ItemIndex);
  bool had = ItemIndex >= 0 && ItemIndex < Items.Count();
  Items.SetSorted(true);
  if (had) ItemIndex = Items.IndexOf(current);
}

void TListBox::DoSelect(int index) {
  if (index < 0 || index >= Items.Count()) return;
  ItemIndex = index;
  if (MultiSelect) {
    Selected.assign(static_cast<std::size_t>(Items.Count()), false);
    Selected[static_cast<std::size_t>(index)] = true;
  }
  Fire(OnClick, this);
}

// ------------------------------------------------------ values and timers

double TDateTimePicker::Date() const { return std::floor(DateTime); }
double TDateTimePicker::Time() const { return DateTime - std::floor(DateTime); }
void TDateTimePicker::SetDate(double d) { DateTime = std::floor(d) + Time(); }
void TDateTimePicker::SetTime(double t) { DateTime = Date() + (t - std::floor(t)); }

void TDateTimePicker::DoSetDateTime(double value) {
  if (value == DateTime) return;
  DateTime = value;
  Fire(OnChange, this);
}

void TTrackBar::DoSetPosition(int p) {
  p = std::clamp(p, std::min(Min, Max), std::max(Min, Max));
  if (p == Position) return;
  Position = p;
  Fire(OnChange, this);
}

TTimer::~TTimer() {
  if (timer_) MainLoop().StopTimer(timer_);
}

void TTimer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

void TTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Restart();
}

void TTimer::Restart() {
  if (timer_) MainLoop().StopTimer(timer_);
  timer_ = 0;
  if (!enabled_ || interval_ <= 0) return;
  timer_ = MainLoop().StartTimer(interval_, false, [this] {
    if (!OnTimer) return;
    auto handler = OnTimer;
    Application().Dispatch([&] { handler(this); });
  });
}

// ------------------------------------------------------------------- TForm

TForm::TForm() : TControl(TControlKind::Form) {
  Visible = false;
  Width = 400;
  Height = 300;
  Application().RegisterForm(this);
}

TForm::~TForm() {
  Application().UnregisterForm(this);
  for (auto& c : owned_) {
    c->children_.clear();
    c->linked_parent_ = nullptr;
    c->Parent = nullptr;
    c->OwnerForm = nullptr;
  }
  children_.clear();
  owned_.clear();
}

void TForm::Adopt(std::unique_ptr<TControl> control, const std::string& name, TControl* parent) {
  TControl* raw = control.get();
  raw->Name = name;
  raw->OwnerForm = this;
  raw->Parent = parent ? parent : this;
  raw->Font = raw->Parent->Font;
  raw->creation_index_ = next_creation_index_++;
  raw->linked_parent_ = raw->Parent;
  raw->Parent->children_.push_back(raw);
  if (!name.empty()) by_name_.emplace(name, raw);  // the first of a name keeps it
  owned_.push_back(std::move(control));
}

void TForm::RelinkChildren() {
  for (auto& owned : owned_) {
    TControl* c = owned.get();
    if (c->Parent == c->linked_parent_) continue;
    if (c->linked_parent_) {
      auto& old = c->linked_parent_->children_;
      old.erase(std::remove(old.begin(), old.end(), c), old.end());
    }
    c->linked_parent_ = c->Parent;
    if (c->Parent) c->Parent->children_.push_back(c);  // a new parent shows it in front
  }
}

TTimer* TForm::MakeTimer(const std::string& name) {
  timers_.push_back(std::make_unique<TTimer>());
  timers_.back()->Name = name;
  return timers_.back().get();
}

TControl* TForm::FindControl(const std::string& name) const {
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second;
}

bool TForm::Active() const { return Application().ActiveForm() == this; }

void TForm::SetClientSize(int w, int h) {
  const int frame_w = Width - ClientWidth(), frame_h = Height - ClientHeight();
  const bool resized = w + frame_w != Width || h + frame_h != Height;
  Width = w + frame_w;
  Height = h + frame_h;
  if (resized) DoResize();
}

bool TForm::KeepMinClientSize() {
  if (WindowState != TWindowState::wsNormal || BorderStyle != TFormBorderStyle::bsSizeable) return false;
  const int w = std::max(ClientWidth(), MinClientWidth), h = std::max(ClientHeight(), MinClientHeight);
  if (w == ClientWidth() && h == ClientHeight()) return false;
  SetClientSize(w, h);
  return true;
}

void TForm::TextsChanged() {
  if (!created_) return;
  if (Visible) {
    layout_due_ = false;
    DoResize();
  } else {
    layout_due_ = true;
  }
}

void TForm::FinishCreate() {
  if (created_) return;
  Fire(OnCreate, this);
  created_ = true;
  if (Visible && !shown_once_) {
    shown_once_ = true;
    DoResize();
  }
  Application().FormConstructed(this);
}

void TForm::Show() {
  ++show_calls_;
  close_pending_ = hide_pending_ = false;
  TApplication& app = Application();
  if (!Visible) {
    Visible = true;
    if (app.active_ == this) app.active_ = nullptr;  // a stale activation from a direct Visible = false
    // The keyboard starts on the control chosen by code, else on the first
    // control in tab order (keys typed at once go there).
    if (!ActiveControl || !ActiveControl->Enabled || !ActiveControl->Showing()) SelectNext(nullptr);
    app.Backend().FormShown(this);
    if (created_ && (!shown_once_ || layout_due_)) {
      shown_once_ = true;
      layout_due_ = false;
      DoResize();
    }
    // A window opens at its smallest size at least (which its layout for
    // the current texts has set).
    if (created_) KeepMinClientSize();
    Fire(OnShow, this);
  } else {
    app.Backend().FormRaised(this);
  }
  app.ActivateForm(this);
}

void TForm::BringToFront() {
  if (Visible) Application().Backend().FormRaised(this);
}

int TForm::ShowModal() {
  if (modal_depth_ > 0) return mrCancel;  // already modal
  TApplication& app = Application();
  ModalResult = mrNone;
  TApplication::NestedState saved = app.BeginNestedLoop();
  ++modal_depth_;
  struct Restore {
    TForm* form;
    TApplication& app;
    TApplication::NestedState& saved;
    ~Restore() {
      app.Backend().ModalEnded(form);
      --form->modal_depth_;
      app.EndNestedLoop(std::move(saved));
      if (form->Visible) form->HideNow();  // gives the activation back to the owner
    }
  } restore{this, app, saved};
  Show();
  app.Backend().ModalStarted(this);
  for (;;) {
    const bool done = MainLoop().RunUntil(
        [&] { return !Visible || ModalResult != mrNone || app.Terminated(); });
    if (!done || app.Terminated() || !Visible) {
      if (ModalResult == mrNone) ModalResult = mrCancel;
      break;
    }
    if (CloseQuery()) break;
    ModalResult = mrNone;  // refused: the form stays
  }
  return ModalResult;
}

void TForm::Hide() {
  if (Application().DispatchDepth() > 0) {
    hide_pending_ = true;
    Application().DeferClose(this);
    return;
  }
  HideNow();
}

void TForm::HideNow() {
  hide_pending_ = false;
  if (!Visible) return;
  Visible = false;
  TApplication& app = Application();
  app.Backend().FormHidden(this);
  Fire(OnHide, this);
  app.FormHidden(this);
}

void TForm::Close() {
  if (modal_depth_ > 0) {
    ModalResult = mrCancel;  // the modal loop asks OnCloseQuery and OnClose
    return;
  }
  if (Application().DispatchDepth() > 0) {
    close_pending_ = true;
    Application().DeferClose(this);
    return;
  }
  DoClose();
}

bool TForm::CloseQuery() {
  bool can_close = true;
  Fire(OnCloseQuery, this, can_close);
  if (!can_close) return false;
  TCloseAction action = TCloseAction::caHide;
  Fire(OnClose, this, action);
  if (action == TCloseAction::caNone) return false;
  if (action == TCloseAction::caMinimize && modal_depth_ == 0) {
    WindowState = TWindowState::wsMinimized;
    return false;
  }
  return true;
}

void TForm::DoClose() {
  close_pending_ = false;
  if (modal_depth_ > 0) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  HideNow();
  if (Application().MainForm() == this) Application().Terminate();
}

void TForm::Paint(TCanvas& canvas) {
  if (!created_ || !OnPaint) return;
  paint_canvas_ = &canvas;
  Fire(OnPaint, this);
  paint_canvas_ = nullptr;
}

void TForm::DoWindowStateChange(TWindowState state) { WindowState = state; }

namespace {
bool TakesFocus(const TControl* c) {
  switch (c->Kind()) {
    case TControlKind::Edit:
    case TControlKind::Memo:
    case TControlKind::RichEdit:
    case TControlKind::ComboBox:
    case TControlKind::ListBox:
    case TControlKind::CheckBox:
    case TControlKind::RadioButton:
    case TControlKind::Button:
    case TControlKind::DateTimePicker:
    case TControlKind::TrackBar:
    case TControlKind::StringGrid:
      return true;
    default:
      return false;
  }
}
}  // namespace

std::vector<TControl*> TForm::TabOrderList() {
  // Ordered by the tab order of every level, outermost first (then by creation).
  std::vector<std::pair<std::vector<std::pair<int, uint64_t>>, TControl*>> keyed;
  for (auto& owned : owned_) {
    TControl* c = owned.get();
    if (!TakesFocus(c) || !c->Enabled || !c->Showing()) continue;
    std::vector<std::pair<int, uint64_t>> key;
    for (TControl* p = c; p && p != this; p = p->Parent) key.insert(key.begin(), {p->TabOrder, p->creation_index_});
    keyed.emplace_back(std::move(key), c);
  }
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TControl*> order;
  for (auto& k : keyed) order.push_back(k.second);
  return order;
}

void TForm::SelectNext(TControl* current, bool forward) {
  std::vector<TControl*> order = TabOrderList();
  if (order.empty()) return;
  auto it = std::find(order.begin(), order.end(), current);
  std::size_t n = order.size(), next;
  if (it == order.end())
    next = forward ? 0 : n - 1;
  else {
    std::size_t i = static_cast<std::size_t>(it - order.begin());
    next = forward ? (i + 1) % n : (i + n - 1) % n;
  }
  order[next]->SetFocus();
}

// ---------------------------------------------------------- file dialogs

bool TOpenDialog::Execute() {
  TFileDialogRequest request{save_, Title, Filter, InitialDir, DefaultExt, FileName};
  if (!Application().Backend().FileDialog(request)) return false;
  FileName = request.FileName;
  return true;
}

// --------------------------------------------------------------- backend

int WindowBackend::MessageBox(const std::string&, const std::string&, unsigned flags) {
  switch (flags & 0x0F) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return IDYES;
    default:
      return IDOK;
  }
}

bool WindowBackend::FileDialog(TFileDialogRequest&) { return false; }

// TextExtent is in canvas.cpp, beside the text measurement it uses.

// ----------------------------------------------------------- application

TApplication& Application() {
  static TApplication* app = new TApplication;  // outlives every form
  return *app;
}

TScreen& Screen() {
  static TScreen* screen = new TScreen;
  return *screen;
}

void TApplication::SetBackend(std::unique_ptr<WindowBackend> backend) { backend_ = std::move(backend); }

WindowBackend& TApplication::Backend() {
  if (!backend_) backend_ = std::make_unique<WindowBackend>();
  return *backend_;
}

void TApplication::RegisterForm(TForm* form) {
  forms_.push_back(form);
  ++constructing_;
}

void TApplication::UnregisterForm(TForm* form) {
  if (backend_) backend_->FormDestroyed(form);
  auto drop = [form](std::vector<TForm*>& v) { v.erase(std::remove(v.begin(), v.end(), form), v.end()); };
  drop(forms_);
  drop(activation_stack_);
  drop(deferred_);
  if (active_ == form) active_ = nullptr;
  if (pending_activation_ == form) pending_activation_ = nullptr;
  if (!form->created_ && constructing_ > 0) --constructing_;
}

void TApplication::FormConstructed(TForm*) {
  if (constructing_ > 0) --constructing_;
  if (constructing_ == 0 && !starting_ && pending_activation_) {
    TForm* form = pending_activation_;
    pending_activation_ = nullptr;
    ActivateForm(form);
  }
}

void TApplication::ActivateForm(TForm* form) {
  if (!form || !form->Visible) return;
  if (starting_ || constructing_ > 0) {
    pending_activation_ = form;  // all forms are constructed before the first activation
    return;
  }
  if (form == active_) return;
  TForm* old = active_;
  active_ = form;
  activation_stack_.erase(std::remove(activation_stack_.begin(), activation_stack_.end(), form),
                          activation_stack_.end());
  activation_stack_.push_back(form);
  if (old) TControl::Fire(old->OnDeactivate, old);
  if (active_ == form) TControl::Fire(form->OnActivate, form);
}

void TApplication::FormHidden(TForm* form) {
  activation_stack_.erase(std::remove(activation_stack_.begin(), activation_stack_.end(), form),
                          activation_stack_.end());
  if (pending_activation_ == form) pending_activation_ = nullptr;
  if (active_ != form) return;
  active_ = nullptr;
  TControl::Fire(form->OnDeactivate, form);
  // The window system hands the activation to the last active window left.
  for (auto it = activation_stack_.rbegin(); it != activation_stack_.rend(); ++it)
    if ((*it)->Visible) {
      ActivateForm(*it);
      return;
    }
}

void TApplication::DeferClose(TForm* form) {
  if (std::find(deferred_.begin(), deferred_.end(), form) == deferred_.end()) deferred_.push_back(form);
}

void TApplication::RunDeferred() {
  if (running_deferred_) return;  // the running pass picks up what handlers add
  running_deferred_ = true;
  while (!deferred_.empty()) {
    TForm* form = deferred_.front();
    deferred_.erase(deferred_.begin());
    if (form->close_pending_) {
      form->hide_pending_ = false;
      form->DoClose();
    } else if (form->hide_pending_) {
      form->HideNow();
    }
  }
  running_deferred_ = false;
}

void TApplication::AfterOutermostHandler() {
  RunDeferred();
  for (TForm* form : forms_)
    for (const auto& c : form->Controls())
      if (c->Kind() == TControlKind::Label || c->Kind() == TControlKind::StaticText)
        static_cast<TLabel*>(c.get())->AutoSizeIfChanged();
  Backend().Sync();
}

void TApplication::Dispatch(const std::function<void()>& handler) {
  ++dispatch_depth_;
  try {
    if (handler) handler();
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown exception");
  }
  if (--dispatch_depth_ == 0) AfterOutermostHandler();
}

TApplication::NestedState TApplication::BeginNestedLoop() {
  NestedState saved{dispatch_depth_, std::move(deferred_)};
  dispatch_depth_ = 0;
  deferred_.clear();
  return saved;
}

void TApplication::EndNestedLoop(NestedState saved) {
  RunDeferred();  // whatever the nested level left behind
  dispatch_depth_ = saved.depth;
  for (TForm* form : saved.deferred)
    if (std::find(forms_.begin(), forms_.end(), form) != forms_.end()) DeferClose(form);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  ShownMessages.push_back(text);
  return Backend().MessageBox(text, caption, flags);
}

void TApplication::ShowException(const std::string& what) {
  if (OnException) {
    auto handler = OnException;
    try {
      handler(what);
      return;
    } catch (...) {
      // The handler failed: fall back to the message box.
    }
  }
  MessageBox(what, Title, MB_OK | MB_ICONERROR);
}

void TApplication::ProcessMessages() {
  for (int i = 0; i < 1000 && MainLoop().ProcessEvents(0); ++i) {}
}

void TApplication::Initialize() { starting_ = true; }

void TApplication::Run() {
  starting_ = false;
  if (constructing_ > 0) {
    for (TForm* form : forms_)
      if (!form->created_) {
        std::fprintf(stderr, "tavlog: form %s never called FinishCreate()\n", form->Name.c_str());
        form->created_ = true;
      }
    constructing_ = 0;
  }
  if (pending_activation_) {
    TForm* form = pending_activation_;
    pending_activation_ = nullptr;
    ActivateForm(form);
  }
  MainLoop().RunUntil([this] { return terminated_; });
  terminated_ = false;
}

void TApplication::Terminate() {
  terminated_ = true;
  MainLoop().Wake();
}

}  // namespace tav
