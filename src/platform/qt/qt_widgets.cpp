// One widget per control kind, and bringing each in line with its control.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QLocale>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>

#include "platform/controls_font.h"
#include "platform/datetime.h"
#include "platform/qt/qt_backend_impl.h"
#include "platform/qt/qt_convert.h"
#include "platform/qt/qt_paint.h"

namespace tav::qtui {

namespace {

template <class T>
T* As(const Binding& b) {
  return static_cast<T*>(b.widget);
}

QStringList ToQStringList(const std::vector<std::string>& lines) {
  QStringList out;
  out.reserve(static_cast<int>(lines.size()));
  for (const auto& l : lines) out << ToQString(l);
  return out;
}

Qt::Alignment AlignmentOf(TAlignment a) {
  switch (a) {
    case TAlignment::taRightJustify: return Qt::AlignRight;
    case TAlignment::taCenter: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
  }
}

// Memo offsets: the model counts a line break as CR LF, the widget as one
// character, so an offset differs by the number of breaks before it.
int MemoWidgetOffset(const std::string& text, int offset, int widget_length) {
  int breaks = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos && static_cast<int>(at) + 2 <= offset;
       at = text.find("\r\n", at + 2))
    ++breaks;
  return std::clamp(offset - breaks, 0, widget_length);
}

int MemoModelOffset(const QPlainTextEdit* e, int offset) {
  return offset + std::max(0, e->document()->findBlock(offset).blockNumber());
}

// The user's selection in a memo, told to the model.
void ReportMemoSelection(TMemo* memo, const QPlainTextEdit* e) {
  const QTextCursor cursor = e->textCursor();
  const int anchor = MemoModelOffset(e, cursor.anchor());
  const int position = MemoModelOffset(e, cursor.position());
  memo->DoSelect(std::min(anchor, position), std::abs(position - anchor));
}

QDateTime ToQDateTime(double value) {
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(value, y, mo, d, h, mi, s, ms);
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

// Kinds whose widget reports clicks on its own (the rest get them from the
// mouse release).
bool NativeClick(TControlKind kind) {
  switch (kind) {
    case TControlKind::SpeedButton:
    case TControlKind::Button:
    case TControlKind::CheckBox:
    case TControlKind::RadioButton:
      return true;
    default:
      return false;
  }
}

bool UsesPaintWidget(const TControl* c) {
  if (c->CustomDrawn()) return true;
  switch (c->Kind()) {
    case TControlKind::Shape:
    case TControlKind::Image:
    case TControlKind::PaintBox:
    case TControlKind::StringGrid:
    case TControlKind::Chart:
    case TControlKind::UpDown:
    case TControlKind::Custom:
      return true;
    default:
      return false;
  }
}

// Combo box items drawn by the combo's OnDrawItem when it is owner-drawn.
class OwnerDrawDelegate : public QStyledItemDelegate {
 public:
  OwnerDrawDelegate(TComboBox* combo, QtBackend& backend, QObject* parent)
      : QStyledItemDelegate(parent), combo_(combo), backend_(backend) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!OwnerDrawn()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    backend_.PaintComboItem(combo_, painter, option.rect, index.row(), option.state & QStyle::State_Selected);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (OwnerDrawn()) size.setHeight(std::max(1, combo_->ItemHeight));
    return size;
  }

 private:
  bool OwnerDrawn() const {
    return combo_->OnDrawItem && (combo_->Style == TComboBoxStyle::csOwnerDrawFixed ||
                                  combo_->Style == TComboBoxStyle::csOwnerDrawVariable);
  }
  TComboBox* combo_;
  QtBackend& backend_;
};

}  // namespace

bool IsEntryKind(TControlKind kind) {
  switch (kind) {
    case TControlKind::Edit:
    case TControlKind::Memo:
    case TControlKind::RichEdit:
    case TControlKind::ComboBox:
    case TControlKind::ListBox:
    case TControlKind::DateTimePicker:
      return true;
    default:
      return false;
  }
}

// --------------------------------------------------------------- creation

Binding& QtBackend::EnsureBinding(FormState& s, TForm* form, TControl* control) {
  TControl* parent = control->Parent ? control->Parent : form;
  auto it = s.bindings.find(control);
  if (it != s.bindings.end() && it->second.parent == parent) return it->second;

  QWidget* parent_widget = s.window.get();
  if (parent != form && parent->Form() == form && parent != control) {
    // Parents first (a cycle of Parent pointers falls back to the window).
    bool cycle = false;
    for (TControl* p = parent; p && p != form; p = p->Parent)
      if (p->Parent == control) cycle = true;
    if (!cycle) parent_widget = EnsureBinding(s, form, parent).widget;
  }

  if (it != s.bindings.end()) {  // moved to another parent
    Binding& b = it->second;
    b.widget->setParent(parent_widget);
    b.parent = parent;
    b.fresh = true;  // setParent hid it and may have reset what was applied
    return b;
  }
  Binding& b = s.bindings[control];
  b.control = control;
  b.parent = parent;
  b.widget = CreateWidget(control, parent_widget, b);
  b.widget->setProperty("tavControl", QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(control)));
  b.widget->setAttribute(Qt::WA_NoMousePropagation);
  b.widget->setMouseTracking(true);
  by_control_[control] = &b;
  return b;
}

QWidget* QtBackend::CreateWidget(TControl* c, QWidget* parent, Binding& b) {
  b.native_click = NativeClick(c->Kind());
  if (UsesPaintWidget(c)) {
    b.native_click = false;
    auto* w = new PaintWidget(c, *this, parent);
    w->setFocusPolicy(c->Kind() == TControlKind::StringGrid ? Qt::StrongFocus : Qt::NoFocus);
    return w;
  }
  switch (c->Kind()) {
    case TControlKind::Label:
    case TControlKind::StaticText: {
      auto* w = new QLabel(parent);
      w->setTextFormat(Qt::PlainText);
      return w;
    }
    case TControlKind::Panel:
      return new PanelWidget(static_cast<TPanel*>(c), parent);
    case TControlKind::GroupBox:
      return new QGroupBox(parent);
    case TControlKind::SpeedButton: {
      auto* w = new QToolButton(parent);
      w->setCheckable(true);
      w->setFocusPolicy(Qt::NoFocus);  // speed buttons never take the focus
      QObject::connect(w, &QToolButton::clicked, w, [this, c] { Input([c] { c->DoClick(); }); });
      return w;
    }
    case TControlKind::Button: {
      auto* w = new QPushButton(parent);
      w->setAutoDefault(false);
      QObject::connect(w, &QPushButton::clicked, w, [this, c] { Input([c] { c->DoClick(); }); });
      return w;
    }
    case TControlKind::CheckBox: {
      auto* w = new QCheckBox(parent);
      QObject::connect(w, &QCheckBox::clicked, w, [this, c] { Input([c] { c->DoClick(); }); });
      return w;
    }
    case TControlKind::RadioButton: {
      auto* w = new QRadioButton(parent);
      w->setAutoExclusive(false);  // the model unchecks the siblings
      QObject::connect(w, &QRadioButton::clicked, w, [this, c] { Input([c] { c->DoClick(); }); });
      return w;
    }
    case TControlKind::Edit: {
      auto* w = new QLineEdit(parent);
      QObject::connect(w, &QLineEdit::textEdited, w, [this, c](const QString& text) {
        auto* edit = static_cast<TEdit*>(c);
        if (Binding* bb = BindingOf(c)) bb->text = FromQString(text);
        Input([edit, t = FromQString(text)] { edit->DoSetText(t); });
      });
      return w;
    }
    case TControlKind::Memo:
    case TControlKind::RichEdit: {
      auto* w = new QPlainTextEdit(parent);
      QObject::connect(w, &QPlainTextEdit::textChanged, w, [this, c, w] {
        auto* memo = static_cast<TMemo*>(c);
        std::string text = FromQString(w->toPlainText());
        TStringList lines;
        lines.SetText(text);
        if (Binding* bb = BindingOf(c)) bb->lines = lines.Lines();
        Input([memo, text] { memo->DoSetText(text); });
        // The new lines drop the selection the model had: the widget's stands.
        if (BindingOf(c)) ReportMemoSelection(memo, w);
      });
      auto report = [this, c, w] {
        if (BindingOf(c)) ReportMemoSelection(static_cast<TMemo*>(c), w);
      };
      QObject::connect(w, &QPlainTextEdit::cursorPositionChanged, w, report);
      QObject::connect(w, &QPlainTextEdit::selectionChanged, w, report);
      return w;
    }
    case TControlKind::ComboBox: {
      auto* w = new QComboBox(parent);
      w->setInsertPolicy(QComboBox::NoInsert);
      w->setItemDelegate(new OwnerDrawDelegate(static_cast<TComboBox*>(c), *this, w));
      QObject::connect(w, &QComboBox::activated, w, [this, c](int index) {
        auto* combo = static_cast<TComboBox*>(c);
        if (Binding* bb = BindingOf(c)) {
          bb->index = index;
          bb->text = combo->Items.At(index);
        }
        Input([combo, index] { combo->DoSelect(index); });
      });
      return w;
    }
    case TControlKind::ListBox: {
      auto* w = new QListWidget(parent);
      auto picked = [this, c](int row) {
        if (Binding* bb = BindingOf(c)) bb->index = row;
        auto* list = static_cast<TListBox*>(c);
        Input([list, row] { list->DoSelect(row); });
      };
      QObject::connect(w, &QListWidget::clicked, w, [picked](const QModelIndex& index) { picked(index.row()); });
      QObject::connect(w, &QListWidget::currentRowChanged, w, [picked](int row) {
        if (QApplication::mouseButtons() == Qt::NoButton && row >= 0) picked(row);  // keyboard
      });
      return w;
    }
    case TControlKind::ProgressBar: {
      auto* w = new QProgressBar(parent);
      w->setTextVisible(false);
      return w;
    }
    case TControlKind::DateTimePicker: {
      auto* w = new QDateTimeEdit(parent);
      QObject::connect(w, &QDateTimeEdit::dateTimeChanged, w, [this, c](const QDateTime& dt) {
        auto* picker = static_cast<TDateTimePicker*>(c);
        double value;
        if (picker->Kind == TDateTimeKind::dtkDate) {
          TDateTime day;
          if (!TryEncodeDate(dt.date().year(), dt.date().month(), dt.date().day(), day)) return;
          value = day + picker->Time();
        } else {
          value = picker->Date() + EncodeTime(dt.time().hour(), dt.time().minute(), dt.time().second());
        }
        if (Binding* bb = BindingOf(c)) bb->value = value;
        Input([picker, value] { picker->DoSetDateTime(value); });
      });
      return w;
    }
    case TControlKind::TrackBar: {
      auto* w = new QSlider(Qt::Horizontal, parent);
      QObject::connect(w, &QSlider::valueChanged, w, [this, c](int v) {
        if (Binding* bb = BindingOf(c)) bb->num3 = v;
        auto* bar = static_cast<TTrackBar*>(c);
        Input([bar, v] { bar->DoSetPosition(v); });
      });
      return w;
    }
    default:
      return new PaintWidget(c, *this, parent);
  }
}

// ------------------------------------------------------------------ sync

void QtBackend::SyncControls(FormState& s, TForm* form) {
  form->Children();  // links controls whose Parent was assigned directly
  const auto& owned = form->Controls();
  for (const auto& c : owned) EnsureBinding(s, form, c.get());
  for (const auto& c : owned) {
    Binding& b = s.bindings[c.get()];
    ApplyCommon(b);
    ApplyKind(b);
    if (b.fresh || c->Visible != b.visible) {
      b.visible = c->Visible;
      b.widget->setVisible(c->Visible);
    }
    b.fresh = false;
  }
  SyncZOrder(s, form, s.window.get(), s.self);
  for (const auto& c : owned)
    if (!c->LinkedChildren().empty()) {
      Binding& b = s.bindings[c.get()];
      SyncZOrder(s, c.get(), b.widget, b);
    }
}

void QtBackend::SyncZOrder(FormState&, TControl* container, QWidget* widget, Binding& applied) {
  const auto& kids = container->LinkedChildren();
  if (kids == applied.child_order) return;
  applied.child_order = kids;
  for (TControl* k : kids)  // back to front
    if (Binding* b = BindingOf(k); b && b->widget && b->widget->parentWidget() == widget) b->widget->raise();
}

void QtBackend::ApplyCommon(Binding& b) {
  TControl* c = b.control;
  QWidget* w = b.widget;
  const QRect g(c->Left, c->Top, std::max(0, c->Width), std::max(0, c->Height));
  if (b.fresh || g != b.geometry) {
    b.geometry = g;
    w->setGeometry(g);
  }
  // The hint shows its disabled note only while the control is disabled.
  bool hint_changed = b.fresh || c->Hint != b.hint || c->ShowHint != b.show_hint ||
                      c->DisabledNote != b.disabled_note;
  if (b.fresh || c->Enabled != b.enabled) {
    b.enabled = c->Enabled;
    w->setEnabled(c->Enabled);
    hint_changed = hint_changed || !c->DisabledNote.empty();
  }
  if (hint_changed) {
    b.hint = c->Hint;
    b.show_hint = c->ShowHint;
    b.disabled_note = c->DisabledNote;
    w->setToolTip(ToolTipOf(c->ShownHint()));
  }
  ApplyPalette(b);
  if (c->PaintGeneration() != b.paint_generation) {
    b.paint_generation = c->PaintGeneration();
    if (!b.fresh) w->update();
  } else if (input_since_sync_ && (c->Kind() == TControlKind::StringGrid || c->Kind() == TControlKind::Chart) &&
             w->isVisible()) {
    w->update();  // their state may follow the user's input without an Invalidate
  }
}

void QtBackend::ApplyPalette(Binding& b) {
  TControl* c = b.control;
  const bool label = c->Kind() == TControlKind::Label || c->Kind() == TControlKind::StaticText;
  const bool transparent = label && static_cast<TLabel*>(c)->Transparent;
  const bool font_changed = b.fresh || !(c->Font == b.font);
  if (!font_changed && c->Color == b.color && transparent == b.transparent) return;
  if (font_changed) {
    b.font = c->Font;
    b.widget->setFont(QFontOf(c->Font));
  }
  b.color = c->Color;
  b.transparent = transparent;
  QPalette p = b.widget->palette();
  // The font colour is the enabled look only: a disabled control keeps the
  // style's greyed text.
  const QColor text = ToQColor(c->Font.Color);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
      p.setColor(group, role, text);
  const QColor back = ToQColor(c->Color);
  bool fill = false;
  switch (c->Kind()) {
    case TControlKind::Label:
    case TControlKind::StaticText:
      fill = !transparent && c->Color != clNone;
      if (fill) p.setColor(QPalette::Window, back);
      break;
    case TControlKind::Panel:
    case TControlKind::GroupBox:
      fill = c->Color != clNone;
      if (fill) p.setColor(QPalette::Window, back);
      break;
    case TControlKind::CheckBox:
    case TControlKind::RadioButton:
      // The default face colour means "as the parent": no box of its own.
      fill = c->Color != clNone && c->Color != clBtnFace;
      if (fill) p.setColor(QPalette::Window, back);
      break;
    default:
      if (IsEntryKind(c->Kind()) && c->Color != clNone) p.setColor(QPalette::Base, back);
      break;
  }
  b.widget->setPalette(p);
  b.widget->setAutoFillBackground(fill);
}

void QtBackend::ApplyKind(Binding& b) {
  TControl* c = b.control;
  QWidget* w = b.widget;
  if (dynamic_cast<PaintWidget*>(w)) {
    if (c->Kind() == TControlKind::Shape) {
      // Shapes repaint when what they show changes.
      auto* shape = static_cast<TShape*>(c);
      const int style = static_cast<int>(shape->Shape) * 2 + (shape->BrushClear ? 1 : 0);
      if (style != b.style || static_cast<int>(shape->BrushColor) != b.num1 ||
          static_cast<int>(shape->PenColor) != b.num2 || shape->PenWidth != b.num3) {
        b.style = style;
        b.num1 = static_cast<int>(shape->BrushColor);
        b.num2 = static_cast<int>(shape->PenColor);
        b.num3 = shape->PenWidth;
        w->update();
      }
    }
    return;
  }
  switch (c->Kind()) {
    case TControlKind::Label:
    case TControlKind::StaticText: {
      auto* m = static_cast<TLabel*>(c);
      if (b.fresh || m->Caption != b.caption) {
        b.caption = m->Caption;
        As<QLabel>(b)->setText(ToQString(m->Caption));
      }
      const int align = static_cast<int>(m->Alignment) + (m->WordWrap ? 10 : 0);
      if (b.fresh || align != b.alignment) {
        b.alignment = align;
        As<QLabel>(b)->setAlignment(AlignmentOf(m->Alignment) | Qt::AlignTop);
        As<QLabel>(b)->setWordWrap(m->WordWrap);
      }
      break;
    }
    case TControlKind::Panel: {
      auto* m = static_cast<TPanel*>(c);
      const int bevel = static_cast<int>(m->BevelOuter) * 4 + static_cast<int>(m->BevelInner);
      if (b.fresh || bevel != b.style) {
        b.style = bevel;
        auto* f = As<QFrame>(b);
        switch (m->BevelOuter) {
          case TBevelCut::bvRaised: f->setFrameStyle(QFrame::Panel | QFrame::Raised); break;
          case TBevelCut::bvLowered: f->setFrameStyle(QFrame::Panel | QFrame::Sunken); break;
          default: f->setFrameStyle(QFrame::NoFrame); break;
        }
        f->setLineWidth(1);
      }
      if (b.fresh || m->Caption != b.caption || static_cast<int>(m->Alignment) != b.alignment) {
        b.caption = m->Caption;
        b.alignment = static_cast<int>(m->Alignment);
        w->update();
      }
      break;
    }
    case TControlKind::GroupBox:
      if (b.fresh || c->Caption != b.caption) {
        b.caption = c->Caption;
        As<QGroupBox>(b)->setTitle(ToQString(c->Caption));
      }
      break;
    case TControlKind::SpeedButton: {
      auto* m = static_cast<TSpeedButton*>(c);
      auto* t = As<QToolButton>(b);
      if (b.fresh || m->Caption != b.caption) {
        b.caption = m->Caption;
        t->setText(ToQString(m->Caption));
      }
      if (b.fresh || m->Flat != b.flag1) {
        b.flag1 = m->Flat;
        t->setAutoRaise(m->Flat);
      }
      if (b.fresh || m->Down != b.flag2 || t->isChecked() != m->Down) {
        b.flag2 = m->Down;
        QSignalBlocker block(t);
        t->setChecked(m->Down);
      }
      const qint64 key = m->Glyph ? GlyphKey(*m->Glyph) : 0;
      if (b.fresh || m->Glyph.get() != b.glyph || key != b.glyph_key || m->NumGlyphs != b.num1) {
        b.glyph = m->Glyph.get();
        b.glyph_key = key;
        b.num1 = m->NumGlyphs;
        QIcon icon = m->Glyph ? GlyphIcon(*m->Glyph, m->NumGlyphs) : QIcon();
        t->setIcon(icon);
        if (!icon.isNull()) t->setIconSize(GlyphSize(*m->Glyph, m->NumGlyphs));
      }
      const bool has_icon = !t->icon().isNull(), has_text = !m->Caption.empty();
      t->setToolButtonStyle(has_icon && has_text ? Qt::ToolButtonTextBesideIcon
                            : has_icon           ? Qt::ToolButtonIconOnly
                                                 : Qt::ToolButtonTextOnly);
      break;
    }
    case TControlKind::Button:
      if (b.fresh || c->Caption != b.caption) {
        b.caption = c->Caption;
        As<QPushButton>(b)->setText(ToQString(c->Caption));
      }
      break;
    case TControlKind::CheckBox:
    case TControlKind::RadioButton: {
      auto* button = static_cast<QAbstractButton*>(w);
      const bool checked = c->Kind() == TControlKind::CheckBox ? static_cast<TCheckBox*>(c)->Checked
                                                                : static_cast<TRadioButton*>(c)->Checked;
      if (b.fresh || c->Caption != b.caption) {
        b.caption = c->Caption;
        button->setText(ToQString(c->Caption));
      }
      if (b.fresh || checked != b.flag1 || button->isChecked() != checked) {
        b.flag1 = checked;
        QSignalBlocker block(button);
        button->setChecked(checked);
      }
      break;
    }
    case TControlKind::Edit: {
      auto* m = static_cast<TEdit*>(c);
      auto* e = As<QLineEdit>(b);
      if (b.fresh || m->PasswordChar != static_cast<char>(b.num1)) {
        b.num1 = m->PasswordChar;
        e->setEchoMode(m->PasswordChar ? QLineEdit::Password : QLineEdit::Normal);
        // The typed text shows as that character, not as the style's dots.
        const auto shown = static_cast<int>(Cp1252ToUnicode(static_cast<unsigned char>(m->PasswordChar)));
        e->setStyleSheet(m->PasswordChar ? QStringLiteral("QLineEdit { lineedit-password-character: %1; }").arg(shown)
                                         : QString());
      }
      if (b.fresh || m->ReadOnly != b.flag1) {
        b.flag1 = m->ReadOnly;
        e->setReadOnly(m->ReadOnly);
      }
      if (b.fresh || m->MaxLength != b.num2) {
        b.num2 = m->MaxLength;
        e->setMaxLength(m->MaxLength > 0 ? m->MaxLength : 32767);
      }
      if (b.fresh || m->Text != b.text) {
        b.text = m->Text;
        const QString q = ToQString(m->Text);
        if (e->text() != q) {
          QSignalBlocker block(e);
          e->setText(q);
        }
      }
      if (m->TakeSelectAllRequest()) e->selectAll();
      break;
    }
    case TControlKind::Memo:
    case TControlKind::RichEdit: {
      auto* m = static_cast<TMemo*>(c);
      auto* e = As<QPlainTextEdit>(b);
      if (b.fresh || m->ReadOnly != b.flag1) {
        b.flag1 = m->ReadOnly;
        e->setReadOnly(m->ReadOnly);
      }
      if (b.fresh || m->WordWrap != b.flag2) {
        b.flag2 = m->WordWrap;
        e->setLineWrapMode(m->WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
      }
      if (b.fresh || static_cast<int>(m->ScrollBars) != b.style) {
        b.style = static_cast<int>(m->ScrollBars);
        const bool h = m->ScrollBars == TScrollStyle::ssHorizontal || m->ScrollBars == TScrollStyle::ssBoth;
        const bool v = m->ScrollBars == TScrollStyle::ssVertical || m->ScrollBars == TScrollStyle::ssBoth;
        e->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        e->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      }
      if (b.fresh || m->Lines.Lines() != b.lines) {
        b.lines = m->Lines.Lines();
        const QString q = ToQStringList(b.lines).join(QLatin1Char('\n'));
        if (e->toPlainText() != q) {
          QSignalBlocker block(e);
          e->setPlainText(q);
          e->moveCursor(QTextCursor::End);  // new lines in a log stay in view
        }
      }
      if (m->TakeSelectionRequest()) {
        const std::string text = m->Text();
        const int length = static_cast<int>(e->document()->characterCount()) - 1;
        const int start = MemoWidgetOffset(text, m->SelStart(), length);
        QTextCursor cursor = e->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(MemoWidgetOffset(text, m->SelStart() + m->SelLength(), length), QTextCursor::KeepAnchor);
        QSignalBlocker block(e);
        e->setTextCursor(cursor);
      }
      break;
    }
    case TControlKind::ComboBox: {
      auto* m = static_cast<TComboBox*>(c);
      auto* e = As<QComboBox>(b);
      const bool editable = m->Style == TComboBoxStyle::csDropDown || m->Style == TComboBoxStyle::csSimple;
      if (b.fresh || static_cast<int>(m->Style) != b.style) {
        b.style = static_cast<int>(m->Style);
        QSignalBlocker block(e);
        e->setEditable(editable);
        if (editable && e->lineEdit() && !b.flag3) {
          b.flag3 = true;
          QObject::connect(e->lineEdit(), &QLineEdit::textEdited, e, [this, c](const QString& text) {
            auto* combo = static_cast<TComboBox*>(c);
            if (Binding* bb = BindingOf(c)) bb->text = FromQString(text);
            Input([combo, t = FromQString(text)] { combo->DoSetText(t); });
          });
        }
        b.text.assign(1, '\x01');  // apply the text again
      }
      if (b.fresh || m->DropDownCount != b.num1) {
        b.num1 = m->DropDownCount;
        e->setMaxVisibleItems(std::max(1, m->DropDownCount));
      }
      if (b.fresh || m->Items.Lines() != b.lines) {
        b.lines = m->Items.Lines();
        QSignalBlocker block(e);
        e->clear();
        e->addItems(ToQStringList(b.lines));
        b.index = -2;  // select again
        b.text.assign(1, '\x01');
      }
      if (m->ItemIndex != b.index) {
        const bool valid = m->ItemIndex >= 0 && m->ItemIndex < m->Items.Count();
        b.index = m->ItemIndex;
        QSignalBlocker block(e);
        e->setCurrentIndex(valid ? m->ItemIndex : -1);
        // The window shows the chosen item: so does Text.
        if (valid) m->Text = m->Items[m->ItemIndex];
        // No item (the user typed a text of his own) empties the edit part:
        // the text is put back below.
        b.text.assign(1, '\x01');
      }
      if (editable && m->Text != b.text) {
        b.text = m->Text;
        const QString q = ToQString(m->Text);
        if (e->currentText() != q) {
          QSignalBlocker block(e);
          e->setEditText(q);
        }
      }
      break;
    }
    case TControlKind::ListBox: {
      auto* m = static_cast<TListBox*>(c);
      auto* e = As<QListWidget>(b);
      if (b.fresh || m->MultiSelect != b.flag1) {
        b.flag1 = m->MultiSelect;
        e->setSelectionMode(m->MultiSelect ? QAbstractItemView::ExtendedSelection
                                           : QAbstractItemView::SingleSelection);
      }
      if (b.fresh || m->Items.Lines() != b.lines) {
        b.lines = m->Items.Lines();
        QSignalBlocker block(e);
        e->clear();
        e->addItems(ToQStringList(b.lines));
        b.index = -2;
        b.selected.clear();
      }
      if (m->ItemIndex != b.index) {
        b.index = m->ItemIndex;
        QSignalBlocker block(e);
        e->setCurrentRow(m->ItemIndex >= 0 && m->ItemIndex < e->count() ? m->ItemIndex : -1);
      }
      if (m->MultiSelect && m->Selected != b.selected) {
        b.selected = m->Selected;
        QSignalBlocker block(e);
        for (int i = 0; i < e->count(); ++i)
          e->item(i)->setSelected(static_cast<std::size_t>(i) < m->Selected.size() && m->Selected[i]);
      }
      break;
    }
    case TControlKind::ProgressBar: {
      auto* m = static_cast<TProgressBar*>(c);
      auto* e = As<QProgressBar>(b);
      if (b.fresh || m->Min != b.num1 || m->Max != b.num2) {
        b.num1 = m->Min;
        b.num2 = m->Max;
        e->setRange(m->Min, std::max(m->Min, m->Max));
      }
      if (b.fresh || m->Position != b.num3) {
        b.num3 = m->Position;
        e->setValue(std::clamp(m->Position, e->minimum(), e->maximum()));
      }
      break;
    }
    case TControlKind::DateTimePicker: {
      auto* m = static_cast<TDateTimePicker*>(c);
      auto* e = As<QDateTimeEdit>(b);
      const int mode = m->Kind == TDateTimeKind::dtkDate ? 0 : (m->ShowDuration ? 2 : 1);
      if (b.fresh || mode != b.style) {
        b.style = mode;
        QSignalBlocker block(e);
        e->setDisplayFormat(mode == 0 ? QStringLiteral("dd.MM.yyyy") : QStringLiteral("HH:mm:ss"));
        e->setCalendarPopup(mode == 0);
        b.value = std::nan("");
      }
      if (b.fresh || !(m->DateTime == b.value)) {
        b.value = m->DateTime;
        QSignalBlocker block(e);
        e->setDateTime(ToQDateTime(m->DateTime));
      }
      // The calendar names months and days in the program's language (made
      // when the picker was, the widgets keep the locale of that moment).
      if (e->locale() != QLocale()) {
        e->setLocale(QLocale());
        if (e->calendarPopup())
          if (QCalendarWidget* calendar = e->calendarWidget()) calendar->setLocale(QLocale());
      }
      break;
    }
    case TControlKind::TrackBar: {
      auto* m = static_cast<TTrackBar*>(c);
      auto* e = As<QSlider>(b);
      QSignalBlocker block(e);
      if (b.fresh || m->Min != b.num1 || m->Max != b.num2) {
        b.num1 = m->Min;
        b.num2 = m->Max;
        e->setRange(std::min(m->Min, m->Max), std::max(m->Min, m->Max));
      }
      if (b.fresh || m->Position != b.num3) {
        b.num3 = m->Position;
        e->setValue(m->Position);
      }
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------- widgets

PaintWidget::PaintWidget(TControl* control, QtBackend& backend, QWidget* parent)
    : QWidget(parent), control_(control), backend_(backend) {}

void PaintWidget::paintEvent(QPaintEvent* e) { backend_.PaintControl(control_, this, e); }

PanelWidget::PanelWidget(TPanel* panel, QWidget* parent) : QFrame(parent), panel_(panel) {}

void PanelWidget::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  if (panel_->Caption.empty()) return;
  QPainter p(this);
  p.setPen(palette().color(QPalette::WindowText));
  p.setFont(font());
  p.drawText(contentsRect().adjusted(2, 0, -2, 0), AlignmentOf(panel_->Alignment) | Qt::AlignVCenter,
             ToQString(panel_->Caption));
}

}  // namespace tav::qtui
