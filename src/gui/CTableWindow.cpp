#include "gui/CTableWindow.h"

#include "gui/ProgressDialog.h"
#include "text/Font.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <exception>
#include <memory>

namespace {

constexpr QSize ClientSize{410, 333};
constexpr int Margin = 4;
// A cell of 19 x 18 pixels and its grid line.
constexpr int CellWidth = 19 + 1;
constexpr int CellHeight = 18 + 1;

QColor ToQColor(TColor Color) {
  return {GetRValue(Color), GetGValue(Color), GetBValue(Color)};
}

QString ToQString(const std::string& Text) {
  return QString::fromStdString(Text);
}

// The bitmap as the preview shows it: pixels of its transparency colour left
// out, so whatever lies under them shows through.
QImage ToImage(const TBitmap& Bitmap) {
  if (Bitmap.Empty()) return {};
  const QImage view(Bitmap.Bits(), Bitmap.Width(), Bitmap.Height(), qsizetype(Bitmap.Stride()),
                    QImage::Format_BGR888);
  if (!Bitmap.Transparent) return view.convertToFormat(QImage::Format_RGB32);
  QImage image = view.convertToFormat(QImage::Format_ARGB32);
  const QRgb hole = ToQColor(Bitmap.TransparentColor).rgb();
  for (int y = 0; y < image.height(); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (row[x] == hole) row[x] = 0;
  }
  return image;
}

// A mask that ends in the other format's extension takes the chosen one's,
// in the case it had; the rest is the user's and stays.
QString MaskFor(const QString& Mask, TImageFormat Format) {
  const QString tail = Mask.right(4);
  if (tail.compare(QLatin1String(".gif"), Qt::CaseInsensitive) != 0 &&
      tail.compare(QLatin1String(".png"), Qt::CaseInsensitive) != 0)
    return Mask;
  const QString ext = QLatin1String(Format == TImageFormat::Png ? ".png" : ".gif");
  return Mask.chopped(4) + (tail == tail.toUpper() ? ext.toUpper() : ext);
}

// Tahoma at 11 pixels, or what fontconfig puts in its place at that height.
QFont DialogFont() {
  const std::string face = ClosestInstalledFace("Tahoma");
  QFont font(face.empty() ? QStringLiteral("Tahoma") : ToQString(face));
  font.setPixelSize(11);
  return font;
}

} // namespace

// PBox: paints the edited image over the dialog's face.
class TCTablePreview : public QWidget {
public:
  explicit TCTablePreview(QWidget* Parent) : QWidget(Parent) {}

  void SetImage(QImage Image) {
    FImage = std::move(Image);
    setFixedSize(FImage.size());
    update();
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawImage(0, 0, FImage);
  }

private:
  QImage FImage;
};

namespace {

// CGridDrawCell: each cell filled with its colour, a cross in an empty cell,
// "BG" on the background's cell in the inverted colour.
class TColorCellDelegate : public QStyledItemDelegate {
public:
  TColorCellDelegate(const TCTable& Core, QObject* Parent)
      : QStyledItemDelegate(Parent), FCore(Core) {}

  void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
             const QModelIndex& Index) const override {
    const QRect cell = Option.rect;
    const int col = Index.column(), row = Index.row();
    Painter->save();
    if (const std::optional<TColor> color = FCore.CellColor(col, row)) {
      Painter->fillRect(cell, ToQColor(*color));
      if (FCore.IsBackCell(col, row)) {
        Painter->setPen(ToQColor(TCTable::BackMarkColor(*color)));
        Painter->drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("BG"));
      }
    } else {
      Painter->fillRect(cell, Option.palette.base());
      Painter->setPen(Option.palette.text().color());
      Painter->drawLine(cell.topLeft(), cell.bottomRight());
      Painter->drawLine(cell.topRight(), cell.bottomLeft());
    }
    if (Option.state & QStyle::State_HasFocus) {
      Painter->setPen(QPen(Option.palette.highlight().color(), 1, Qt::DotLine));
      Painter->drawRect(cell.adjusted(0, 0, -1, -1));
    }
    Painter->restore();
  }

private:
  const TCTable& FCore;
};

} // namespace

// CGrid: eight columns, one cell per colour; a double-click, Enter or Space
// on a cell recolours it.
class TCTableGrid : public QTableWidget {
public:
  TCTableGrid(const TCTable& Core, QWidget* Parent)
      : QTableWidget(0, TCTable::GridColumns, Parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
      header->setMinimumSectionSize(1);
      header->setSectionResizeMode(QHeaderView::Fixed);
    }
    horizontalHeader()->setDefaultSectionSize(CellWidth);
    verticalHeader()->setDefaultSectionSize(CellHeight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setTabKeyNavigation(false); // Tab leaves the grid; the arrows move in it
    setItemDelegate(new TColorCellDelegate(Core, this));
    // Past the eighth column lies the dialog's face, not a ninth column.
    viewport()->setBackgroundRole(QPalette::Window);
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int Row, int Col) {
      if (OnChoose) OnChoose(Row, Col);
    });
  }

  std::function<void(int Row, int Col)> OnChoose;

protected:
  void keyPressEvent(QKeyEvent* Event) override {
    const bool choose = Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter ||
                        Event->key() == Qt::Key_Space;
    if (choose && currentIndex().isValid() && OnChoose) {
      OnChoose(currentRow(), currentColumn());
      return;
    }
    QTableWidget::keyPressEvent(Event);
  }
};

TCTableWindow::TCTableWindow(TCTable& Core, IExportPlatform& Platform, QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      ProgressAfterMs(TSaveProgressDialog::ShowAfterMs), FCore(Core), FPlatform(Platform) {
  setObjectName(QStringLiteral("CTable"));
  setWindowTitle(ToQString(TCTable::Caption));
  setFont(DialogFont());
  setModal(true);
  CreateControls();
  ConnectControls();
  SetTabOrder();
  ReadCore();
  FitCaptions();
}

TCTableWindow::~TCTableWindow() = default;

void TCTableWindow::CreateControls() {
  auto place = [](QWidget* Control, const char* Name, int Left, int Top, int Width, int Height) {
    Control->setObjectName(QLatin1String(Name));
    Control->setGeometry(Left, Top, Width, Height);
  };
  QFont bold = font();
  bold.setBold(true);

  ScrollBox1 = new QScrollArea(this);
  place(ScrollBox1, "ScrollBox1", Margin, Margin, 201, 79);
  ScrollBox1->setBackgroundRole(QPalette::Window);
  ScrollBox1->setAccessibleName(tr("Image"));
  PBox = new TCTablePreview(ScrollBox1);
  PBox->setObjectName(QStringLiteral("PBox"));
  PBox->setAccessibleName(tr("Image"));
  ScrollBox1->setWidget(PBox);

  const int right = Margin + 201 + 5;
  Label1 = new QLabel(this);
  place(Label1, "Label1", right, Margin, 196, 14);
  CGrid = new TCTableGrid(FCore, this);
  place(CGrid, "CGrid", right, Margin + 16, 196, 44);
  CGrid->setAccessibleName(tr("Colour table"));
  CBTransparent = new QCheckBox(tr("Transparent background color"), this);
  place(CBTransparent, "CBTransparent", right, Margin + 63, 196, 19);

  // The image's format and scale, for every way of saving.
  LFormat = new QLabel(tr("Image format:"), this);
  place(LFormat, "LFormat", 8, 92, 68, 15);
  CBFormat = new QComboBox(this);
  place(CBFormat, "CBFormat", 80, 89, 56, 21);
  CBFormat->addItem(QStringLiteral("GIF"), int(TImageFormat::Gif));
  CBFormat->addItem(QStringLiteral("PNG"), int(TImageFormat::Png));
  LFormat->setBuddy(CBFormat);
  CB2x = new QCheckBox(tr("Also 2x for HiDPI screens"), this);
  place(CB2x, "CB2x", 150, 90, 200, 19);

  Bevel1 = new QFrame(this);
  place(Bevel1, "Bevel1", Margin, 113, ClientSize.width() - 2 * Margin, 2);
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);

  RS1 = new QRadioButton(this);
  place(RS1, "RS1", 8, 117, 390, 19);
  RS1->setFont(bold);

  Panel2 = new QWidget(this);
  place(Panel2, "Panel2", 24, 137, 150, 38);
  RBJS1 = new QRadioButton(tr("Plain HTML"), Panel2);
  place(RBJS1, "RBJS1", 0, 0, 150, 19);
  RBJS2 = new QRadioButton(tr("Include JavaScript"), Panel2);
  place(RBJS2, "RBJS2", 0, 19, 150, 19);

  Bevel2 = new QFrame(this);
  place(Bevel2, "Bevel2", 180, 137, 2, 38);
  Bevel2->setFrameShape(QFrame::VLine);
  Bevel2->setFrameShadow(QFrame::Sunken);

  Panel1 = new QWidget(this);
  place(Panel1, "Panel1", 190, 137, 200, 38);
  RBNC = new QRadioButton(Panel1);
  place(RBNC, "RBNC", 0, 0, 200, 19);
  RBNAS = new QRadioButton(Panel1);
  place(RBNAS, "RBNAS", 0, 19, 200, 19);

  Bevel3 = new QFrame(this);
  place(Bevel3, "Bevel3", 24, 178, ClientSize.width() - 24 - Margin, 2);
  Bevel3->setFrameShape(QFrame::HLine);
  Bevel3->setFrameShadow(QFrame::Sunken);

  CBSS = new QCheckBox(tr("Write image size to HTML"), this);
  place(CBSS, "CBSS", 24, 182, 200, 19);
  CBAlt = new QCheckBox(tr("Write image ALT (alternate text or hint) as char"), this);
  place(CBAlt, "CBAlt", 24, 201, 300, 19);

  RS3 = new QRadioButton(this);
  place(RS3, "RS3", 8, 221, 200, 19);
  RS3->setFont(bold);
  RS2 = new QRadioButton(this);
  place(RS2, "RS2", 8, 241, 300, 19);
  RS2->setFont(bold);

  Lmask = new QLabel(tr("File name mask:"), this);
  place(Lmask, "Lmask", 24, 265, 84, 15);
  Emask = new QLineEdit(this);
  place(Emask, "Emask", 112, 262, 160, 21);
  Lmask->setBuddy(Emask);
  LHint = new QLabel(
      tr("Use in a mask \"%t\" for insert of string text, and \"%n\" for insert of line number"),
      this);
  place(LHint, "LHint", 24, 285, 222, 44);
  LHint->setWordWrap(true);
  LHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  BSave = new QPushButton(tr("Save"), this);
  place(BSave, "BSave", 254, 304, 73, 25);
  bClose = new QPushButton(tr("Close"), this);
  place(bClose, "bClose", 333, 304, 73, 25);
  for (QPushButton* button : {BSave, bClose}) {
    // Enter in the mask must not save.
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  // Each group one stop for Tab, at its chosen button; the arrows choose in it.
  for (const auto& group : {std::initializer_list<QRadioButton*>{RS1, RS3, RS2},
                            std::initializer_list<QRadioButton*>{RBJS1, RBJS2},
                            std::initializer_list<QRadioButton*>{RBNC, RBNAS}}) {
    auto* buttons = new QButtonGroup(this);
    for (QRadioButton* button : group)
      buttons->addButton(button);
    FRadioGroups.push_back(buttons);
  }
}

void TCTableWindow::ConnectControls() {
  CGrid->OnChoose = [this](int Row, int Col) { BChColorClick(Row, Col); };
  connect(CBTransparent, &QCheckBox::toggled, this, [this](bool On) { CBTransparentClick(On); });
  connect(CBFormat, &QComboBox::currentIndexChanged, this,
          [this](int Index) { CBFormatChange(TImageFormat(CBFormat->itemData(Index).toInt())); });
  const std::pair<QRadioButton*, TSaveKind> choices[] = {
      {RS1, TSaveKind::Html}, {RS2, TSaveKind::Lines}, {RS3, TSaveKind::Solid}};
  for (const auto& [button, kind] : choices)
    connect(button, &QRadioButton::toggled, this, [this, kind = kind](bool On) {
      if (On) RS2Click(kind);
    });
  TExportChoices& choice = FCore.Choices;
  connect(RBJS2, &QRadioButton::toggled, this, [&choice](bool On) { choice.IncludeScript = On; });
  connect(RBNC, &QRadioButton::toggled, this, [&choice](bool On) { choice.NameAsChar = On; });
  connect(CBSS, &QCheckBox::toggled, this, [&choice](bool On) { choice.WriteSize = On; });
  connect(CBAlt, &QCheckBox::toggled, this, [&choice](bool On) { choice.WriteAlt = On; });
  connect(CB2x, &QCheckBox::toggled, this, [&choice](bool On) { choice.Scale = On ? 2 : 1; });
  connect(Emask, &QLineEdit::textChanged, this,
          [&choice](const QString& Text) { choice.Mask = Text.toStdString(); });
  connect(BSave, &QPushButton::clicked, this, [this] { BSaveClick(); });
  connect(bClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TCTableWindow::SetTabOrder() {
  const QWidget* order[] = {ScrollBox1, CGrid, CBTransparent, CBFormat, CB2x,  RS1,
                            RBJS1,      RBJS2, RBNC,          RBNAS,    CBSS,  CBAlt,
                            RS3,        RS2,   Emask,         BSave,    bClose};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void TCTableWindow::SetHtmlEnabled(bool Enabled) {
  FHtmlEnabled = Enabled;
  RS1->setEnabled(Enabled);
}

void TCTableWindow::ReadCore() {
  Label1->setText(ToQString(FCore.Label1Caption()));
  FillGrid();
  UpdatePreview();

  const TExportChoices choices = FCore.Choices;
  const QSignalBlocker blocks[] = {
      QSignalBlocker(RS1),           QSignalBlocker(RS2),   QSignalBlocker(RS3),
      QSignalBlocker(RBJS1),         QSignalBlocker(RBJS2), QSignalBlocker(RBNC),
      QSignalBlocker(RBNAS),         QSignalBlocker(CBSS),  QSignalBlocker(CBAlt),
      QSignalBlocker(CBTransparent), QSignalBlocker(Emask), QSignalBlocker(CBFormat),
      QSignalBlocker(CB2x)};
  RS1->setChecked(choices.Save == TSaveKind::Html);
  RS2->setChecked(choices.Save == TSaveKind::Lines);
  RS3->setChecked(choices.Save == TSaveKind::Solid);
  (choices.IncludeScript ? RBJS2 : RBJS1)->setChecked(true);
  (choices.NameAsChar ? RBNC : RBNAS)->setChecked(true);
  CBSS->setChecked(choices.WriteSize);
  CBAlt->setChecked(choices.WriteAlt);
  CBTransparent->setChecked(choices.Transparent);
  if (Emask->text().toStdString() != choices.Mask) Emask->setText(ToQString(choices.Mask));
  CBFormat->setCurrentIndex(CBFormat->findData(int(choices.Format)));
  // A scale of 3 from elsewhere stays until the box is clicked.
  CB2x->setChecked(choices.Scale > 1);
  ShowFormatCaptions();
  RS1->setEnabled(FHtmlEnabled);
  EnableGroups();
  // Qt moves the Tab stop of a group to the button last focused; a showing
  // starts with it on the chosen one.
  for (const QButtonGroup* group : FRadioGroups)
    for (QAbstractButton* button : group->buttons()) {
      const Qt::FocusPolicy policy = button->focusPolicy();
      button->setFocusPolicy(button->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                 : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

void TCTableWindow::FillGrid() {
  // Two empty rows until the first preparation, as the form was designed.
  const int rows = FCore.Prepared() ? FCore.GridRowCount() : 2;
  CGrid->clearContents();
  CGrid->setRowCount(rows);
  for (int row = 0; row < rows; ++row)
    for (int col = 0; col < TCTable::GridColumns; ++col) {
      const QString text = ToQString(FCore.CellText(col, row));
      auto* item = new QTableWidgetItem(text);
      item->setFlags(Qt::ItemIsEnabled);
      // Screen readers read the cell's text, and learn which one is the background.
      if (!text.isEmpty() && FCore.IsBackCell(col, row))
        item->setData(Qt::AccessibleTextRole, text + QStringLiteral(" BG"));
      CGrid->setItem(row, col, item);
    }
}

void TCTableWindow::UpdatePreview() {
  std::optional<TRgbaImage> clear;
  try {
    clear = FCore.ClearPreview();
  } catch (const std::exception&) {
    // The save will say what went wrong; the preview shows the table's image.
  }
  if (clear) {
    const QImage view(clear->Pixels.data(), clear->Width, clear->Height,
                      qsizetype(clear->Width) * 4, QImage::Format_RGBA8888);
    PBox->SetImage(view.copy());
    return;
  }
  PBox->SetImage(FCore.Prepared() ? ToImage(FCore.Gif().GetBitmap(0)) : QImage());
}

void TCTableWindow::EnableGroups() {
  const bool html = FCore.HtmlOptionsEnabled();
  for (QWidget* control : std::initializer_list<QWidget*>{RBJS1, RBJS2, CBSS, RBNC, RBNAS, CBAlt})
    control->setEnabled(html);
  const bool mask = FCore.MaskEnabled();
  for (QWidget* control : std::initializer_list<QWidget*>{Lmask, Emask, LHint})
    control->setEnabled(mask);
}

void TCTableWindow::ShowFormatCaptions() {
  const bool png = FCore.Choices.Format == TImageFormat::Png;
  RS1->setText(ToQString(FCore.RS1Caption()));
  RS2->setText(ToQString(FCore.RS2Caption()));
  RS3->setText(png ? tr("Save as solid PNG-file") : tr("Save as solid GIF-file"));
  RBNC->setText(png ? tr("PNG-file name as char") : tr("Gif-file name as char"));
  RBNAS->setText(png ? tr("PNG-file name as ASCII code") : tr("Gif-file name as ASCII code"));
  // The hint below keeps its original words; the newer placeholders are told here.
  QString moreMask = tr("Also \"%0Nn\": the line number with N digits (item%02n.gif gives "
                        "item01.gif), and \"%s\": the text as a web name (\"FAQ / Help\" "
                        "gives faq-help)");
  if (png) moreMask.replace(QLatin1String(".gif"), QLatin1String(".png"));
  Emask->setToolTip(moreMask);
  Emask->setAccessibleDescription(moreMask);
}

void TCTableWindow::FitCaptions() {
  // A caption longer than its control (a wider font than Tahoma, a large
  // count in RS1) widens the control; the dialog grows to hold it, and the
  // buttons stay at the bottom right.
  // The format's row first: its label and box push the 2x box right.
  for (QWidget* control : std::initializer_list<QWidget*>{LFormat, CBFormat}) {
    const QSize hint = control->sizeHint();
    control->resize(std::max(control->width(), hint.width()),
                    std::max(control->height(), hint.height()));
  }
  CBFormat->move(std::max(CBFormat->x(), LFormat->geometry().right() + 5), CBFormat->y());
  CB2x->move(std::max(CB2x->x(), CBFormat->geometry().right() + 15), CB2x->y());
  QWidget* const captions[] = {Label1, CBTransparent, LFormat, CB2x,  RS1, RBJS1, RBJS2,
                               RBNC,   RBNAS,         CBSS,    CBAlt, RS3, RS2,   Lmask};
  int width = ClientSize.width();
  for (QWidget* control : captions) {
    const QSize hint = control->sizeHint();
    control->resize(std::max(control->width(), hint.width()),
                    std::max(control->height(), hint.height()));
    QWidget* parent = control->parentWidget();
    if (parent != this) // a panel holds it: the panel grows too
      parent->resize(std::max(parent->width(), control->geometry().right() + 1), parent->height());
    width = std::max(width, control->mapTo(this, QPoint(control->width(), 0)).x() + Margin);
  }
  const QPoint maskAt = Emask->pos();
  Emask->move(std::max(maskAt.x(), Lmask->geometry().right() + 5), maskAt.y());
  for (QPushButton* button : {BSave, bClose})
    button->resize(std::max(button->width(), button->sizeHint().width()), button->height());
  bClose->move(width - Margin - bClose->width(), bClose->y());
  BSave->move(bClose->x() - 6 - BSave->width(), BSave->y());
  // The hint wraps in the room left of the buttons.
  LHint->resize(BSave->x() - 8 - LHint->x(), LHint->height());
  int height = ClientSize.height();
  height = std::max(height, LHint->y() + LHint->heightForWidth(LHint->width()) + Margin);
  LHint->resize(LHint->width(), height - Margin - LHint->y());
  Bevel1->resize(width - 2 * Margin, Bevel1->height());
  Bevel3->resize(width - Bevel3->x() - Margin, Bevel3->height());
  setFixedSize(width, height);
}

void TCTableWindow::Execute() {
  ReadCore();
  FitCaptions();
  const QScreen* screen = parentWidget() ? parentWidget()->screen() : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  exec();
  FCore.FormClose();
  PBox->SetImage({});
}

void TCTableWindow::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
    bClose->click();
    return;
  }
  QDialog::keyPressEvent(Event);
}

template <class F> void TCTableWindow::Guarded(F&& Handler) {
  try {
    Handler();
  } catch (const std::exception& Error) {
    try {
      FPlatform.ErrorBox(Error.what());
    } catch (...) {
      // Nothing is left to tell the user with; the window stays as it is.
    }
  } catch (...) {
    try {
      FPlatform.ErrorBox("Unknown error.");
    } catch (...) {
    }
  }
}

void TCTableWindow::BChColorClick(int Row, int Col) {
  Guarded([&] { FCore.BChColorClick(Col, Row, FPlatform); });
  Guarded([&] {
    if (QTableWidgetItem* item = CGrid->item(Row, Col)) {
      const QString text = ToQString(FCore.CellText(Col, Row));
      item->setText(text);
      if (FCore.IsBackCell(Col, Row))
        item->setData(Qt::AccessibleTextRole, text + QStringLiteral(" BG"));
    }
    CGrid->viewport()->update();
    UpdatePreview();
  });
}

void TCTableWindow::CBTransparentClick(bool Ticked) {
  Guarded([&] {
    FCore.CBTransparentClick(Ticked);
    UpdatePreview();
  });
}

void TCTableWindow::CBFormatChange(TImageFormat Format) {
  FCore.Choices.Format = Format;
  const QString mask = MaskFor(Emask->text(), Format);
  if (mask != Emask->text()) Emask->setText(mask);
  ShowFormatCaptions();
  FitCaptions();
  Guarded([&] { UpdatePreview(); });
}

void TCTableWindow::RS2Click(TSaveKind Kind) {
  FCore.Choices.Save = Kind;
  EnableGroups();
}

void TCTableWindow::BSaveClick() {
  // Made once the writing starts, after the file or folder dialog.
  std::unique_ptr<TSaveProgressDialog> progress;
  FCore.Progress = [this, &progress](int Done, int Total) {
    if (!progress) progress = std::make_unique<TSaveProgressDialog>(this, ProgressAfterMs);
    return progress->Report(Done, Total);
  };
  Guarded([this, &progress] {
    try {
      FCore.BSaveClick(FPlatform);
    } catch (...) {
      progress.reset(); // the error box alone tells how the save ended
      throw;
    }
  });
  FCore.Progress = nullptr;
  progress.reset();
  // "Save" closes the dialog whatever the writer did, as "Close" does.
  reject();
}
