#include "gui/Master.h"

#include "export/RenderSource.h"
#include "gui/Application.h"
#include "gui/CTableWindow.h"
#include "gui/ColorSwatch.h"
#include "gui/PreviewBox.h"
#include "gui/QtPlatform.h"
#include "gui/SpinEditWidget.h"
#include "render/AutoFill.h"
#include "text/Font.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ComboHeight = 21;
constexpr int SpinHeight = 20;
constexpr int CheckHeight = 17;
constexpr int LabelGap = 4;
constexpr int ControlGap = 2;

// Moves each control of a row right until it clears the one before it.
void PushApart(std::initializer_list<QWidget*> Row) {
  const QWidget* before = nullptr;
  for (QWidget* w : Row) {
    if (before && w->x() < before->geometry().right() + 1 + ControlGap)
      w->move(before->geometry().right() + 1 + ControlGap, w->y());
    before = w;
  }
}

// "Auto Fill" with its glyph: the caption, the glyph and the button's margins.
int AutoFillWidth(const QPushButton* Button) {
  const int margin = Button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, Button);
  return Button->fontMetrics().horizontalAdvance(Button->text()) + Button->iconSize().width() + 4 +
         margin + 4;
}

QComboBox* MakeList(QWidget* Parent, const QStringList& Items) {
  auto* list = new QComboBox(Parent);
  list->addItems(Items);
  return list;
}

// The width a drop-down list needs to show its longest line whole.
int ComboWidthFor(const QComboBox* Combo) {
  int text = 0;
  for (int i = 0; i < Combo->count(); ++i)
    text = std::max(text, Combo->fontMetrics().horizontalAdvance(Combo->itemText(i)));
  QStyleOptionComboBox option;
  option.initFrom(Combo);
  option.rect = QRect(0, 0, 1000, ComboHeight);
  const QRect field =
      Combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField);
  return text + (1000 - field.width()) + 2;
}

// A label right of its control's left edge, centred on the control's height.
void PlaceLabelBefore(QLabel* Label, const QRect& Control) {
  const int w = Label->sizeHint().width();
  Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label->setGeometry(Control.left() - LabelGap - w, Control.top(), w, Control.height());
}

// Only the paints and timers of the window go on while the colours are
// counted, at most once a frame.
void KeepPainting() {
  static QElapsedTimer since;
  if (since.isValid() && since.elapsed() < 16) return;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                  QEventLoop::ExcludeSocketNotifiers);
  since.start();
}

} // namespace

QFont MasterFont() {
  static const QString family = [] {
    const QString tahoma = QStringLiteral("Tahoma");
    if (QFontDatabase::families().contains(tahoma, Qt::CaseInsensitive)) return tahoma;
    const std::string closest = ClosestInstalledFace("Tahoma");
    return closest.empty() ? QString() : QString::fromStdString(closest);
  }();
  QFont font(family);
  font.setPixelSize(11);
  return font;
}

TMaster::TMaster(IExportPlatform& Platform, IWidgetPlatform& WidgetPlatform, QWidget* Parent)
    : TMaster(Platform, WidgetPlatform, TBannerServices{}, Parent) {}

TMaster::TMaster(IExportPlatform& Platform, IWidgetPlatform& WidgetPlatform,
                 const TBannerServices& BannerServices, QWidget* Parent)
    : QWidget(Parent), FPlatform(Platform) {
  setWindowTitle(QStringLiteral("Glyptika v1.2"));
  setFont(MasterFont());
  setFixedSize(ClientWidth, ClientHeight);

  // Controls, top to bottom.
  auto* bevel1 = new QFrame(this);
  bevel1->setFrameShape(QFrame::HLine);
  bevel1->setFrameShadow(QFrame::Sunken);
  bevel1->setGeometry(0, 67, ClientWidth, 2);

  Banner = new TBannerStrip(this, BannerServices, [this] { return GetOsVersionCode(); });
  PBaner = Banner->PBaner;
  Image1 = Banner->Image1;
  LabelWWW = Banner->LabelWWW;
  PanelWeb = Banner->PanelWeb;
  LWWW2 = Banner->LWWW2;
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(BannerTickMs);

  FontList = new QComboBox(this);
  FontList->setGeometry(69, 73, 204, ComboHeight);
  Label1 = new QLabel(QStringLiteral("Font name"), this);
  FontStyle = new QComboBox(this);
  FontStyle->setGeometry(69, 98, 88, ComboHeight);
  Label2 = new QLabel(QStringLiteral("Font style"), this);
  CBWidth = MakeList(this, {QStringLiteral("To string"), QStringLiteral("To max string"),
                            QStringLiteral("User width")});
  CBWidth->setCurrentIndex(int(TWidthMode::ToMaxString));
  CBWidth->setGeometry(191, 97, 82, ComboHeight);
  Label6 = new QLabel(QStringLiteral("Width"), this);

  SpinSize = new TmSpinEdit(WidgetPlatform, this);
  SpinSize->SetMinValue(MinFontSize);
  SpinSize->SetMaxValue(MaxFontSize);
  SpinSize->SetDecimal(1); // shown in "pt" only
  SpinSize->SetValue(30);
  SpinSize->setGeometry(69, 122, 40, SpinHeight);
  {
    const QString hint =
        QStringLiteral("The face's line height (its cell), not its em: letters draw smaller. "
                       "In pt, points at the screen's dpi.");
    SpinSize->setToolTip(hint);
    SpinSize->setAccessibleDescription(hint);
  }
  Label5 = new QLabel(QStringLiteral("Size"), this);
  CBUnit = MakeList(this, {QStringLiteral("px"), QStringLiteral("pt")});
  CBUnit->setGeometry(116, 121, 41, ComboHeight);
  CBUnit->setAccessibleName(QStringLiteral("Unit"));

  SWidth = new TmSpinEdit(WidgetPlatform, this);
  SWidth->SetMinValue(0);
  SWidth->SetMaxValue(MaxUserWidth);
  SWidth->SetValue(0);
  SWidth->setGeometry(191, 122, 57, SpinHeight);
  SWidth->setAccessibleName(QStringLiteral("Width in pixels"));
  Label7 = new QLabel(QStringLiteral("px"), this);

  cbShadow = new QCheckBox(QStringLiteral("Drop Shadow"), this);
  SpinDist = new TmSpinEdit(WidgetPlatform, this);
  SpinDist->SetMinValue(MinShadowDistance);
  SpinDist->SetMaxValue(MaxShadowDistance);
  SpinDist->SetValue(1);
  SpinDist->setGeometry(329, 97, 40, SpinHeight);
  Label9 = new QLabel(QStringLiteral("Distance"), this);

  CFont = new TColorSwatch(RGB(0, 0, 0), this);
  CFont->setGeometry(448, 73, 40, 21);
  Label3 = new QLabel(QStringLiteral("Font color"), this);
  CBg = new TColorSwatch(RGB(0xFF, 0xFF, 0xFF), this);
  CBg->setGeometry(448, 96, 40, 21);
  Label4 = new QLabel(QStringLiteral("Bg color"), this);
  CShad = new TColorSwatch(FromQColor(palette().color(QPalette::Dark)), this);
  CShad->setGeometry(448, 119, 40, 21);
  Label8 = new QLabel(QStringLiteral("Shadow color"), this);

  CBUnder = new QCheckBox(QStringLiteral("Underline"), this);
  CBAnti = new QCheckBox(QStringLiteral("Anti-alias"), this);

  AlignGroup = new QButtonGroup(this);
  AlignGroup->setExclusive(true);
  const struct {
    QToolButton*& Button;
    const char* Hint;
    const char* Glyph;
  } aligns[] = {{bLeft, "Align to left", ":/glyphs/bLeft"},
                {bCenter, "Align to center", ":/glyphs/bCenter"},
                {bRight, "Align to right", ":/glyphs/bRight"}};
  int tag = 0;
  for (const auto& a : aligns) {
    a.Button = new QToolButton(this);
    a.Button->setCheckable(true);
    a.Button->setAutoRaise(true);
    a.Button->setIcon(QIcon(QString::fromLatin1(a.Glyph)));
    a.Button->setIconSize({16, 16});
    a.Button->setToolTip(QString::fromLatin1(a.Hint));
    a.Button->setAccessibleName(QString::fromLatin1(a.Hint));
    a.Button->setFocusPolicy(Qt::StrongFocus);
    a.Button->setGeometry(1 + 22 * tag, 182, 22, 22);
    AlignGroup->addButton(a.Button, tag);
    ++tag;
  }
  bLeft->setChecked(true);

  bAFIll = new QPushButton(QStringLiteral("Auto Fill"), this);
  bAFIll->setIcon(QIcon(QStringLiteral(":/glyphs/bAFIll")));
  bAFIll->setIconSize({9, 9});
  bAFIll->setLayoutDirection(Qt::RightToLeft); // the glyph right of the caption
  bAFIll->setGeometry(2, 211, 66, 22);

  RWords = new QPlainTextEdit(this);
  RWords->setLineWrapMode(QPlainTextEdit::NoWrap);
  RWords->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RWords->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RWords->setTabChangesFocus(true);
  RWords->setGeometry(69, 145, 204, 73);
  RWords->setAccessibleName(QStringLiteral("Text"));

  ScrollBox = new QScrollArea(this);
  ScrollBox->setGeometry(277, 145, 211, 73);
  // The image takes the focus and shows it; the box only scrolls it.
  ScrollBox->setFocusPolicy(Qt::NoFocus);
  PreView = new TPreviewBox;
  PreView->setAccessibleName(QStringLiteral("Preview"));
  ScrollBox->setWidget(PreView);

  bUpdate = new QPushButton(QStringLiteral("Update"), this);
  bUpdate->setGeometry(286, 239, 65, 22);
  bSave = new QPushButton(QStringLiteral("Convert"), this);
  bSave->setGeometry(357, 239, 65, 22);
  bSave->setEnabled(false);
  BClose = new QPushButton(QStringLiteral("Close"), this);
  BClose->setGeometry(423, 239, 65, 22);
  CBShaping = new QCheckBox(QStringLiteral("Kerning and shaping"), this);
  CBOverhangs = new QCheckBox(QStringLiteral("Keep overhangs"), this);
  CBShaping->setObjectName(QStringLiteral("CBShaping"));
  CBOverhangs->setObjectName(QStringLiteral("CBOverhangs"));
  CBOverhangs->setChecked(true); // no letter is cut unless asked

  PMenu = new QMenu(this);
  PMenu->setFont(font());
  const struct {
    const char* Caption;
    int Tag;
  } items[] = {{"Digits [0..9]", afDigits},
               {"Numbers for Calendar [1..31]", afCalendar},
               {"CAPS chars [A..Z]", afCaps},
               {"All font chars [#32..#255]", afAllChars}};
  for (const auto& item : items) {
    QAction* action = PMenu->addAction(QString::fromLatin1(item.Caption));
    const int itemTag = item.Tag;
    connect(action, &QAction::triggered, this,
            [this, itemTag] { Run([this, itemTag] { AutoFillClick(itemTag); }); });
  }

  // The layout above at this font: labels beside their controls, boxes as
  // wide as their captions, lists widened where a line would be cut; what a
  // wider control pushes moves over, in the same order.
  for (QComboBox* list : {CBWidth, CBUnit}) {
    const int need = ComboWidthFor(list);
    if (need > list->width()) list->resize(need, list->height());
  }
  // Its widest value in points as well as in pixels.
  SpinSize->resize(std::max(SpinSize->width(), SpinSize->WidthForAnyValue()), SpinSize->height());
  PlaceLabelBefore(Label1, FontList->geometry());
  PlaceLabelBefore(Label2, FontStyle->geometry());
  PlaceLabelBefore(Label6, CBWidth->geometry());
  PlaceLabelBefore(Label5, SpinSize->geometry());
  PlaceLabelBefore(Label9, SpinDist->geometry());
  PlaceLabelBefore(Label3, CFont->geometry());
  PlaceLabelBefore(Label4, CBg->geometry());
  PlaceLabelBefore(Label8, CShad->geometry());
  Label7->setGeometry(SWidth->geometry().right() + 1 + 3, 122, Label7->sizeHint().width(),
                      SpinHeight);
  cbShadow->setGeometry(281, 76, cbShadow->sizeHint().width(), CheckHeight);
  CBUnder->setGeometry(2, 145, CBUnder->sizeHint().width(), CheckHeight);
  CBAnti->setGeometry(2, 162, CBAnti->sizeHint().width(), CheckHeight);
  bAFIll->resize(std::max(bAFIll->width(), AutoFillWidth(bAFIll)), bAFIll->height());
  // A row of their own under the text, so the bottom row keeps the place
  // of the small link to the maker's site.
  CBShaping->setGeometry(RWords->x(), 220, CBShaping->sizeHint().width(), CheckHeight);
  CBOverhangs->setGeometry(CBShaping->geometry().right() + 1 + 3 * ControlGap, 220,
                           CBOverhangs->sizeHint().width(), CheckHeight);
  PushApart({Label1, FontList, cbShadow, Label3, CFont});
  PushApart({FontStyle, Label6, CBWidth, Label9, SpinDist, Label4, CBg});
  PushApart({Label5, SpinSize, CBUnit, SWidth, Label7, Label8, CShad});
  // The left column may take a few pixels from the text box.
  int column = 0;
  for (QWidget* w : std::initializer_list<QWidget*>{CBUnder, CBAnti, bAFIll})
    column = std::max(column, w->geometry().right() + 1);
  if (column + ControlGap > RWords->x()) {
    const int right = RWords->geometry().right();
    RWords->setGeometry(column + ControlGap, RWords->y(), right + 1 - column - ControlGap,
                        RWords->height());
    CBShaping->move(RWords->x(), CBShaping->y());
    PushApart({CBShaping, CBOverhangs});
  }

  // The form's names, for tests, automation and style sheets.
  const std::pair<QObject*, const char*> names[] = {
      {Label1, "Label1"},   {FontList, "FontList"}, {Label2, "Label2"}, {FontStyle, "FontStyle"},
      {Label6, "Label6"},   {CBWidth, "CBWidth"},   {Label5, "Label5"}, {SpinSize, "SpinSize"},
      {CBUnit, "CBUnit"},   {SWidth, "SWidth"},     {Label7, "Label7"}, {cbShadow, "cbShadow"},
      {Label9, "Label9"},   {SpinDist, "SpinDist"}, {Label3, "Label3"}, {CFont, "CFont"},
      {Label4, "Label4"},   {CBg, "CBg"},           {Label8, "Label8"}, {CShad, "CShad"},
      {CBUnder, "CBUnder"}, {CBAnti, "CBAnti"},     {bLeft, "bLeft"},   {bCenter, "bCenter"},
      {bRight, "bRight"},   {bAFIll, "bAFIll"},     {RWords, "RWords"}, {ScrollBox, "ScrollBox"},
      {PreView, "PreView"}, {bUpdate, "bUpdate"},   {bSave, "bSave"},   {BClose, "BClose"},
      {PMenu, "PMenu"}};
  for (const auto& [object, name] : names)
    object->setObjectName(QString::fromLatin1(name));

  Label1->setBuddy(FontList);
  Label2->setBuddy(FontStyle);
  Label6->setBuddy(CBWidth);
  Label5->setBuddy(SpinSize);
  Label9->setBuddy(SpinDist);
  Label3->setBuddy(CFont);
  Label4->setBuddy(CBg);
  Label8->setBuddy(CShad);
  SetTabOrder();

  // Events.
  connect(FontList, &QComboBox::activated, this, [this] { Run([this] { FontListSelect(); }); });
  connect(FontStyle, &QComboBox::activated, this, [this](int Index) {
    Run([this, Index] {
      FStyles.ItemIndex = Index;
      CBAntiClick();
    });
  });
  connect(CBWidth, &QComboBox::activated, this, [this] { Run([this] { CBWidthSelect(); }); });
  connect(CBUnit, &QComboBox::activated, this, [this] { Run([this] { CBUnitSelect(); }); });
  connect(cbShadow, &QCheckBox::clicked, this, [this] { Run([this] { bUpdateClick(); }); });
  connect(SpinDist, &TmSpinEdit::Change, this, [this] { RenderLater(); });
  for (TColorSwatch* swatch : {CFont, CBg, CShad})
    connect(swatch, &TColorSwatch::MouseDown, this,
            [this, swatch] { Run([this, swatch] { CFontMouseDown(swatch); }); });
  for (QCheckBox* box : {CBUnder, CBAnti, CBShaping, CBOverhangs})
    connect(box, &QCheckBox::clicked, this, [this] { Run([this] { CBAntiClick(); }); });
  connect(AlignGroup, &QButtonGroup::idClicked, this,
          [this](int Tag) { Run([this, Tag] { bLeftClick(Tag); }); });
  connect(bAFIll, &QPushButton::clicked, this, [this] { Run([this] { bAFIllClick(); }); });
  connect(bUpdate, &QPushButton::clicked, this, [this] { Run([this] { bUpdateClick(); }); });
  connect(bSave, &QPushButton::clicked, this, [this] { Run([this] { bSaveClick(); }); });
  connect(BClose, &QPushButton::clicked, this, [this] { Run([this] { BCloseClick(); }); });
  connect(Timer1, &QTimer::timeout, this, [this] { Run([this] { Timer1Timer(); }); });

  WinXP = new TWinXP(&FComponents);
  FCTableWindow = std::make_unique<TCTableWindow>(FCTable, FPlatform, this);
  FCTable.OnProcessMessages = KeepPainting;

  // FormCreate.
  Run([this] {
    FillFaces();
    FontListSelect();
    PreView->resize(ScrollBox->viewport()->width(), 0);
    FAlignValue = TAlign::Left;
    CBAnti->setChecked(true); // every system here draws anti-aliased text
  });
  Timer1->start();

  if (const QScreen* screen = this->screen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

TMaster::~TMaster() = default;

void TMaster::SetTabOrder() {
  // Reading order: the rows of settings, the left column, the text, the
  // preview, the check boxes under them, the bottom row.
  QWidget* order[] = {LabelWWW,    FontList, cbShadow, CFont,  FontStyle, CBWidth, SpinDist,
                      CBg,         SpinSize, CBUnit,   SWidth, CShad,     CBUnder, CBAnti,
                      bLeft,       bCenter,  bRight,   bAFIll, RWords,    PreView, CBShaping,
                      CBOverhangs, LWWW2,    bUpdate,  bSave,  BClose};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);
}

void TMaster::FillFaces() {
  FontList->clear();
  for (const std::string& face : ListFaces())
    FontList->addItem(QString::fromStdString(face));
  FontList->setCurrentIndex(FontList->count() > 0 ? 0 : -1);
}

void TMaster::FontListSelect() {
  FontStyle->clear();
  if (FontList->currentIndex() < 0) {
    FStyles.FontStyle.clear();
    return;
  }
  FStyles.SelectFace(FontList->currentText().toStdString());
  for (const std::string& style : FStyles.FontStyle)
    FontStyle->addItem(QString::fromStdString(style));
  FontStyle->setCurrentIndex(FStyles.ItemIndex);
  bUpdateClick();
}

void TMaster::CBAntiClick() {
  // The version code of every system this runs on is above 4: the warning
  // about Windows 95/98 never applies.
  bUpdateClick();
}

void TMaster::CFontMouseDown(TColorSwatch* Swatch) {
  if (const std::optional<TColor> chosen = FPlatform.ChooseColor(Swatch->Color()))
    Swatch->SetColor(*chosen);
  bUpdateClick();
}

void TMaster::bLeftClick(int Tag) {
  FAlignValue = TAlign(Tag);
  bUpdateClick();
}

void TMaster::CBUnitSelect() {
  const tTypeValue old = SpinSize->TypeValue();
  const bool points = CBUnit->currentIndex() == int(TSizeUnit::Points);
  SpinSize->SetTypeValue(points ? tTypeValue::ttDouble : tTypeValue::ttInteger);
  if (SpinSize->TypeValue() == old) return;
  const TSizeUnit from = points ? TSizeUnit::Pixels : TSizeUnit::Points;
  const TSizeUnit to = points ? TSizeUnit::Points : TSizeUnit::Pixels;
  const double size = SpinSize->Core().ClampValue(SpinSize->Value());
  SpinSize->SetValue(ConvertSizeUnit(size, from, to, LogPixelsY()));
  SpinSize->RefreshText();
}

void TMaster::CBWidthSelect() {
  const int surfaceWidth = FRendering ? FRendering->FSurface->Width() : 0;
  const TWidthBounds bounds =
      UserWidthBounds(TWidthMode(std::max(0, CBWidth->currentIndex())), surfaceWidth);
  SWidth->SetMinValue(bounds.Min);
  SWidth->SetMaxValue(bounds.Max);
}

void TMaster::bAFIllClick() {
  PMenu->popup(bAFIll->mapToGlobal(QPoint(0, bAFIll->height())));
}

void TMaster::AutoFillClick(int Tag) {
  QStringList lines;
  for (const std::string& line : AutoFillLines(Tag))
    lines << QString::fromStdString(line);
  RWords->setPlainText(lines.join(QLatin1Char('\n')));
  bUpdateClick();
}

TRenderSettings TMaster::ReadSettings() const {
  TRenderSettings s;
  s.FaceName = FontList->currentText().toStdString();
  const TStyleFlags style = FStyles.Selected();
  s.Bold = style.Bold != 0;
  s.Italic = style.Italic != 0;
  // A value still being typed may lie outside the bounds until it is committed.
  s.Size = SpinSize->Core().ClampValue(SpinSize->Value());
  s.SizeUnit =
      CBUnit->currentIndex() == int(TSizeUnit::Points) ? TSizeUnit::Points : TSizeUnit::Pixels;
  s.Underline = CBUnder->isChecked();
  s.AntiAlias = CBAnti->isChecked();
  s.WidthMode = TWidthMode(std::clamp(CBWidth->currentIndex(), 0, 2));
  s.UserWidth = std::clamp(SWidth->AsInteger(), 0, MaxUserWidth);
  s.Shadow = cbShadow->isChecked();
  s.Shaping = CBShaping->isChecked();
  s.KeepOverhangs = CBOverhangs->isChecked();
  s.ShadowDistance = std::clamp(SpinDist->AsInteger(), MinShadowDistance, MaxShadowDistance);
  s.TextColor = CFont->Color();
  s.BackColor = CBg->Color();
  s.ShadowColor = CShad->Color();
  s.Align = FAlignValue;
  // The raw text keeps no-break spaces as they are; blocks are lines.
  QString text = RWords->document()->toRawText();
  if (!text.isEmpty()) {
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    for (const QString& line : text.split(QLatin1Char('\n')))
      s.Lines.push_back(line.toStdString());
  }
  return s;
}

int TMaster::LogPixelsY() const {
  return std::max(1, logicalDpiY());
}

void TMaster::bUpdateClick() {
  std::optional<TRenderResult> result = FRasteriser.RenderText(ReadSettings(), LogPixelsY());
  if (!result) return;
  PreView->SetBitmap(nullptr);
  FRendering = std::move(result);
  bSave->setEnabled(true);
  const TBitmap& preview = FRendering->FPreview;
  PreView->resize(preview.Width(), preview.Height());
  PreView->SetBitmap(&preview);
  CBWidthSelect();
  ++FRenderCount;
  emit Rendered();
}

void TMaster::bSaveClick() {
  bUpdateClick();
  if (!FRendering) return;
  {
    TBusy busy(FPlatform);
    FCTable.Prepare(ExportSourceOf(*FRendering));
  }
  // The page of character images cannot carry a shadow, nor joined text.
  const bool noPage = cbShadow->isChecked() || CBShaping->isChecked();
  if (noPage && FCTable.Choices.Save == TSaveKind::Html) FCTable.Choices.Save = TSaveKind::Solid;
  FCTableWindow->SetHtmlEnabled(!noPage);
  FCTableWindow->Execute();
}

void TMaster::BCloseClick() {
  close();
}

void TMaster::Timer1Timer() {
  Banner->Core().Timer1Timer();
}

void TMaster::RenderLater() {
  if (FRenderPending) return;
  FRenderPending = true;
  QTimer::singleShot(0, this, [this] {
    FRenderPending = false;
    Run([this] { bUpdateClick(); });
  });
}

void TMaster::ReportException() {
  try {
    FPlatform.ErrorBox(CurrentExceptionMessage());
  } catch (...) {
    // Nothing left to tell the user with; the window goes on.
  }
}
