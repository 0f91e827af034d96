#include "gui/SpinEditWidget.h"

#include "gui/Cursors.h"
#include "gui/QtWidgetPlatform.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>

namespace {

// The edit's sunken border; the arrow column sits inside it.
constexpr int EditFrame = 2;
constexpr int EditHeight = 20;
constexpr int SpinButtonWidth = 12;

// The key as the value logic reads it: one character, control characters as
// their byte; empty for keys that edit or move without typing (Delete, Home,
// the Ctrl shortcuts), which the edit handles itself.
std::string KeyText(const QKeyEvent& Event) {
  switch (Event.key()) {
  case Qt::Key_Backspace:
    return "\b";
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return "\r";
  case Qt::Key_Escape:
    return "\x1b";
  default:
    break;
  }
  if (Event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return {};
  const QString text = Event.text();
  if (text.isEmpty() || text[0].unicode() < 32 || text[0].unicode() == 0x7F) return {};
  return text.toStdString();
}

} // namespace

// ---------------------------------------------------------------------------

TTimerSpeedButton::TTimerSpeedButton(QWidget* Parent) : QAbstractButton(Parent) {
  setFocusPolicy(Qt::NoFocus);
  // The click on release over the button, and a click by accessibility tools.
  connect(this, &QAbstractButton::clicked, this, [this] { FireClick(); });
}

void TTimerSpeedButton::FireClick() {
  if (OnClick) OnClick();
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* Event) {
  QAbstractButton::mousePressEvent(Event);
  if (Event->button() != Qt::LeftButton || !isDown()) return;
  FHeld = true;
  if (OnMouseDown) OnMouseDown();
  if (!AutoRepeat) return;
  if (!FAutoTimer) {
    FAutoTimer = new QTimer(this);
    connect(FAutoTimer, &QTimer::timeout, this, [this] { AutoTimerTick(); });
  }
  FAutoTimer->setInterval(FirstRepeatMs);
  FAutoTimer->start();
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* Event) {
  QAbstractButton::mouseReleaseEvent(Event);
  if (Event->button() == Qt::LeftButton) StopRepeat();
}

// A hidden or disabled button gets no release: its repeat ends here.
void TTimerSpeedButton::hideEvent(QHideEvent* Event) {
  QAbstractButton::hideEvent(Event);
  StopRepeat();
}

void TTimerSpeedButton::changeEvent(QEvent* Event) {
  QAbstractButton::changeEvent(Event);
  if (Event->type() == QEvent::EnabledChange && !isEnabled()) StopRepeat();
}

void TTimerSpeedButton::StopRepeat() {
  FHeld = false;
  if (FAutoTimer) FAutoTimer->stop();
}

void TTimerSpeedButton::AutoTimerTick() {
  if (!FAutoTimer) return;
  FAutoTimer->setInterval(RepeatMs);
  if (!FHeld) {
    FAutoTimer->stop();
    return;
  }
  if (!isDown()) return; // dragged off the button: waits until it is back
  try {
    FireClick();
  } catch (...) {
    FAutoTimer->stop();
    throw;
  }
}

void TTimerSpeedButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int pressed = isDown() ? 1 : 0;
  const int w = width();
  const int h = height();
  const QColor face = palette().color(QPalette::Button);
  const QColor light = palette().color(QPalette::Light);
  const QColor shadow = palette().color(QPalette::Dark);

  // A one-pixel edge round a filled face: raised, or sunken while pressed.
  p.fillRect(rect(), face);
  const QColor& topLeft = pressed ? shadow : light;
  const QColor& bottomRight = pressed ? light : shadow;
  p.fillRect(0, 0, w, 1, topLeft);
  p.fillRect(0, 0, 1, h, topLeft);
  p.fillRect(0, h - 1, w, 1, bottomRight);
  p.fillRect(w - 1, 0, 1, h, bottomRight);

  // The arrow in single black pixels, black also when disabled; one pixel right
  // and down while pressed.
  const int cx = w / 2 + pressed;
  const int cy = h / 2 + pressed;
  const int dir = Tag == 1 ? 1 : -1; // the tip is above the centre for the up arrow
  p.fillRect(cx, cy - dir, 1, 1, Qt::black);
  p.fillRect(cx - 1, cy, 3, 1, Qt::black);
  p.fillRect(cx - 2, cy + dir, 5, 1, Qt::black);
}

// ---------------------------------------------------------------------------

TmSpinButton::TmSpinButton(QWidget* Parent) : QWidget(Parent) {
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  setCursor(PlusMinusCursor());
  SetTabStop(false);
  FUpArrow = MakeArrowButton(1, tr("Up"));
  FDownArrow = MakeArrowButton(2, tr("Down"));
  FFocusedArrow = FUpArrow;
  resize(10, 10);
}

TTimerSpeedButton* TmSpinButton::MakeArrowButton(int Tag, const QString& Name) {
  auto* arrow = new TTimerSpeedButton(this);
  arrow->Tag = Tag;
  arrow->AutoRepeat = true;
  arrow->setAccessibleName(Name);
  arrow->setCursor(Qt::ArrowCursor);
  arrow->OnClick = [this, arrow] { ArrowClick(arrow); };
  arrow->OnMouseDown = [this, arrow] { ArrowMouseDown(arrow); };
  return arrow;
}

void TmSpinButton::PlaceArrows(int W, int H) {
  if (!FUpArrow || !FDownArrow) return;
  // A one-pixel column at the left and a two-pixel strip between the arrows
  // show the column's own face: the strip is where the drag starts.
  const int up = std::max(0, H % 2 ? H / 2 : H / 2 - 1);
  FUpArrow->setGeometry(1, 0, std::max(0, W - 1), up);
  FDownArrow->setGeometry(1, up + 2, std::max(0, W - 1), std::max(0, H - up - 2));
}

void TmSpinButton::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  PlaceArrows(width(), height());
}

bool TmSpinButton::CanFocus() const {
  return isEnabled() && isVisible();
}

void TmSpinButton::FocusArrow(TTimerSpeedButton* Arrow) {
  if (!TabStop() || !CanFocus() || Arrow == FFocusedArrow) return;
  FFocusedArrow = Arrow;
  if (hasFocus()) update();
}

void TmSpinButton::ArrowMouseDown(TTimerSpeedButton* Arrow) {
  FocusArrow(Arrow);
  QWidget* control = FFocusControl;
  if (control && (control->focusPolicy() & Qt::TabFocus) && control->isEnabled() &&
      control->isVisible() && !control->hasFocus())
    control->setFocus(Qt::OtherFocusReason);
  else if (TabStop() && !hasFocus() && CanFocus())
    setFocus(Qt::OtherFocusReason);
}

void TmSpinButton::ArrowClick(TTimerSpeedButton* Arrow) {
  if (Arrow == FUpArrow && OnUpClick)
    OnUpClick();
  else if (Arrow == FDownArrow && OnDownClick)
    OnDownClick();
}

void TmSpinButton::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton) return QWidget::mousePressEvent(Event);
  // Qt keeps the mouse with the widget it was pressed on until the release.
  FDrag.Press(Event->position().toPoint().y());
  Event->accept();
}

void TmSpinButton::mouseMoveEvent(QMouseEvent* Event) {
  const int up = FDrag.Move(Event->position().toPoint().y());
  if (up != 0 && OnDrag) OnDrag(up);
}

void TmSpinButton::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) FDrag.Release();
}

void TmSpinButton::keyPressEvent(QKeyEvent* Event) {
  switch (Event->key()) {
  case Qt::Key_Up:
    FocusArrow(FUpArrow);
    ArrowClick(FUpArrow);
    break;
  case Qt::Key_Down:
    FocusArrow(FDownArrow);
    ArrowClick(FDownArrow);
    break;
  case Qt::Key_Space:
    ArrowClick(FFocusedArrow);
    break;
  default:
    return QWidget::keyPressEvent(Event);
  }
  Event->accept();
}

void TmSpinButton::focusInEvent(QFocusEvent* Event) {
  QWidget::focusInEvent(Event);
  FFocusedArrow->update();
}

void TmSpinButton::focusOutEvent(QFocusEvent* Event) {
  QWidget::focusOutEvent(Event);
  FFocusedArrow->update();
}

// ---------------------------------------------------------------------------

TmSpinEdit::TmSpinEdit(QWidget* Parent) : TmSpinEdit(DesktopWidgetPlatform(), Parent) {}

TmSpinEdit::TmSpinEdit(IWidgetPlatform& Platform, QWidget* Parent)
    : QLineEdit(Parent), FPlatform(Platform),
      FCore(Platform, QLocale().decimalPoint().toStdString()), FSpinButton(new TmSpinButton(this)) {
  resize(width(), EditHeight);
  FSpinButton->resize(SpinButtonWidth, height() - 2 * EditFrame);
  FSpinButton->SetFocusControl(this);
  FSpinButton->OnUpClick = [this] { FCore.StepUp(); };
  FSpinButton->OnDownClick = [this] { FCore.StepDown(); };
  FSpinButton->OnDrag = [this](int PixelsUp) { FCore.Drag(PixelsUp); };
  setText(QString::fromStdString(FCore.Text()));
  FCore.SetView(this);
  FCore.OnChange = [this] { emit Change(); };
  connect(this, &QLineEdit::textChanged, this,
          [this](const QString& Text) { FCore.TextChanged(Text.toStdString()); });
  for (QWidget* w :
       {static_cast<QWidget*>(FSpinButton), static_cast<QWidget*>(FSpinButton->UpArrow()),
        static_cast<QWidget*>(FSpinButton->DownArrow())})
    w->installEventFilter(this);
}

TmSpinEdit::~TmSpinEdit() {
  // The children go after FCore: nothing of theirs may reach it any more.
  disconnect(this, &QLineEdit::textChanged, this, nullptr);
  FCore.SetView(nullptr);
  FCore.OnChange = nullptr;
  FSpinButton->OnUpClick = nullptr;
  FSpinButton->OnDownClick = nullptr;
  FSpinButton->OnDrag = nullptr;
}

void TmSpinEdit::ShowText(const std::string& Text) {
  setText(QString::fromStdString(Text));
}

void TmSpinEdit::ShowEnabled(bool Enabled) {
  setEnabled(Enabled);
}

void TmSpinEdit::SetEditorEnabled(bool On) {
  FCore.SetEditorEnabled(On);
  UpdateEditable();
}

void TmSpinEdit::SetReadOnly(bool On) {
  FCore.SetReadOnly(On);
  UpdateEditable();
}

// A read-only QLineEdit refuses typing, paste, cut, Delete, undo and drops,
// while the arrows, the keys and the drag go through the value logic.
void TmSpinEdit::UpdateEditable() {
  setReadOnly(!FCore.AcceptsClipboardEdit());
}

int TmSpinEdit::MinEditHeight() const {
  return fontMetrics().height();
}

int TmSpinEdit::WidthToShow(const QString& Text) const {
  QStyleOptionFrame option;
  initStyleOption(&option);
  const int frame =
      width() - style()->subElementRect(QStyle::SE_LineEditContents, &option, this).width();
  const QMargins margins = textMargins();
  const QFontMetrics fm = fontMetrics();
  // As QLineEdit decides to scroll: the text, the cursor, the glyphs'
  // overhangs and its inner margin of 2 on either side.
  const int text = fm.horizontalAdvance(Text) + 1 + std::max(0, -fm.minLeftBearing()) +
                   std::max(0, -fm.minRightBearing()) + 2 * 2;
  return frame + margins.left() + margins.right() + text;
}

int TmSpinEdit::WidthForAnyValue() const {
  const QFontMetrics fm = fontMetrics();
  QChar widest = QLatin1Char('0');
  for (char d = '1'; d <= '9'; ++d)
    if (fm.horizontalAdvance(QLatin1Char(d)) > fm.horizontalAdvance(widest))
      widest = QLatin1Char(d);
  const double largest = std::max(std::fabs(MinValue()), std::fabs(MaxValue()));
  QString text(QString::number(std::floor(largest), 'f', 0).size(), widest);
  if (MinValue() < 0) text.prepend(QLatin1Char('-'));
  // A value with decimals may show up to two more than asked for.
  const QString decimals(std::max(Decimal(), 2), widest);
  return std::max(WidthToShow(text),
                  WidthToShow(text + QString::fromStdString(FCore.DecimalSeparator()) + decimals));
}

QSize TmSpinEdit::sizeHint() const {
  return {QLineEdit::sizeHint().width(), std::max(EditHeight, MinEditHeight())};
}

QSize TmSpinEdit::minimumSizeHint() const {
  return {QLineEdit::minimumSizeHint().width(), MinEditHeight()};
}

void TmSpinEdit::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Up || Event->key() == Qt::Key_Down) {
    if (Event->key() == Qt::Key_Up)
      FCore.StepUp();
    else
      FCore.StepDown();
    Event->accept();
    return;
  }
  const std::string key = KeyText(*Event);
  if (!key.empty() && !FCore.KeyPress(key)) {
    Event->accept(); // refused (it beeped) or Enter, handled
    return;
  }
  QLineEdit::keyPressEvent(Event);
}

// Text composed by an input method is filtered like typed keys.
void TmSpinEdit::inputMethodEvent(QInputMethodEvent* Event) {
  bool refused = false;
  for (const char32_t c : Event->commitString().toUcs4())
    refused = refused || !FCore.AcceptsKey(QString::fromUcs4(&c, 1).toStdString());
  if (!refused) return QLineEdit::inputMethodEvent(Event);
  FPlatform.Beep();
  QInputMethodEvent withoutCommit(Event->preeditString(), Event->attributes());
  QLineEdit::inputMethodEvent(&withoutCommit);
}

// Qt gives the edit the focus for a press on the arrow column too, before
// the press arrives: only a press on the text itself keeps AutoSelect off.
void TmSpinEdit::focusInEvent(QFocusEvent* Event) {
  QLineEdit::focusInEvent(Event);
  const Qt::FocusReason reason = Event->reason();
  FMouseFocusPending = reason == Qt::MouseFocusReason;
  if (FAutoSelect && reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason &&
      reason != Qt::ActiveWindowFocusReason)
    selectAll();
}

void TmSpinEdit::mousePressEvent(QMouseEvent* Event) {
  FMouseFocusPending = false;
  QLineEdit::mousePressEvent(Event);
}

bool TmSpinEdit::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::MouseButtonPress && FMouseFocusPending) {
    FMouseFocusPending = false;
    if (FAutoSelect) selectAll();
  }
  return QLineEdit::eventFilter(Watched, Event);
}

void TmSpinEdit::focusOutEvent(QFocusEvent* Event) {
  // A context menu opening is not leaving the field.
  if (Event->reason() != Qt::PopupFocusReason) FCore.CommitText();
  QLineEdit::focusOutEvent(Event);
}

void TmSpinEdit::resizeEvent(QResizeEvent* Event) {
  QLineEdit::resizeEvent(Event);
  const int m = MinEditHeight();
  if (height() < m) {
    resize(width(), m); // sizes the edit again
    return;
  }
  const int bw = FSpinButton->width();
  FSpinButton->setGeometry(width() - EditFrame - bw, EditFrame, bw, height() - 2 * EditFrame);
  UpdateEditRect();
}

// The text stays left of the arrow column.
void TmSpinEdit::UpdateEditRect() {
  setTextMargins(0, 0, FSpinButton->width() + 1, 0);
}
