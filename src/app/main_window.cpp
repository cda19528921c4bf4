#include "app/main_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTimer>

#include <cstdio>

#include "skin/image_box.h"
#include "app/desktop_compositing.h"
#include "app/log_window.h"
#include "app/progress_rules.h"
#include "app/qt_hand_over.h"
#include "app/video_panel.h"
#include "media/base/ff_utils.h"
#include "options/option_form.h"
#include "app/preview_window.h"
#include "skin/region_button.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

TfrmMain::TfrmMain(TfrmOption& options, bool polish, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint),
      FOptions(options),
      FPolish(polish),
      FRemaining([this](int h, int m, int s) { return TimeOfDay((int64_t{h} * 3600 + m * 60 + s) * 1000).toStdString(); }) {
  setObjectName("frmMain");
  setWindowTitle(u"VidoraTo3GP"_s);
  setAcceptDrops(true);
  // Under Wayland a mask only cuts the input region: the key colour's pixels are left unpainted too.
  setAttribute(Qt::WA_TranslucentBackground);
  QFont font(u"Tahoma"_s);
  font.setPointSize(8);
  setFont(font);
  CreateComponents();
  LoadBuiltInLook();

  //: Stands before the percentage done: keep the space at its end.
  FProgressPrefix = tr("Progress: ");
  ShowProgressText(FProgressPrefix + u" 0%"_s);
  FLibAVFolder = ProgramFolder() + "LibAV";
  ImageInfoPL->move(52, ImageInfoPL->y());
  ImageInfoEn->move(52, ImageInfoEn->y());
  btnPauseConvert->move(btnPauseConvert->x(), 267);
  btnResumeConvert->move(btnResumeConvert->x(), 267);

  FSession.Encoder().SetPreviewBitmap(true);
  // Should the preview window be asked for, the engine paints into ours.
  FSession.PreviewerFactory = [] { return std::make_unique<TPreviewer>(); };
  BindEvents();
}

TfrmMain::~TfrmMain() {
  DetachEvents();
  FSession.Stop(true);
  FFPlayer.Stop(true);
  // The player's end still runs pending calls; a click queued for this window
  // (the burn-in key's) would then reach the session after it is gone.
  QCoreApplication::removePostedEvents(this);
}

TRegionButton* TfrmMain::Button(const char* name) {
  auto* button = new TRegionButton(Panel1);
  button->setObjectName(name);
  button->SetButtonStyle(btNormal);
  button->SetBorder(false);
  button->SetShadow(false);
  return button;
}

TImageBox* TfrmMain::Image(const char* name, QWidget* parent) {
  auto* image = new TImageBox(parent);
  image->setObjectName(name);
  return image;
}

void TfrmMain::CreateComponents() {
  CreateScreen();
  CreateKeys();
  CreateMenuAndLog();
  CreateTimers();
  connect(btnAdd, &QAbstractButton::clicked, this, &TfrmMain::btnAddClick);
  connect(btnAddSub, &QAbstractButton::clicked, this, &TfrmMain::btnAddSubClick);
  connect(btnStartConvert, &QAbstractButton::clicked, this, &TfrmMain::btnStartConvertClick);
  connect(btnPauseConvert, &QAbstractButton::clicked, this, &TfrmMain::btnPauseConvertClick);
  connect(btnResumeConvert, &QAbstractButton::clicked, this, &TfrmMain::btnResumeConvertClick);
  connect(btnSubOn, &QAbstractButton::clicked, this, &TfrmMain::btnSubOnClick);
  connect(btnClose, &QAbstractButton::clicked, this, &QWidget::close);
  connect(btnMinimize, &QAbstractButton::clicked, this, &QWidget::showMinimized);
  connect(TimerStat, &QTimer::timeout, this, &TfrmMain::TimerStatTimer);
  ConnectControls();
  CreateKeyboard();
}

// The phone's body, its screen and what is drawn on it.
void TfrmMain::CreateScreen() {
  resize(576, 500);
  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry({{0, 0}, Panel1Size});
  ImageBgn = Image("ImageBgn", Panel1);
  LProgress = new QLabel(Panel1);
  LProgress->setObjectName("LProgress");
  QFont bold = font();
  bold.setBold(true);
  LProgress->setFont(bold);
  ImageProgress = new TProgressBox(Panel1);
  ImageProgress->setObjectName("ImageProgress");
  ImageInfoPL = Image("ImageInfoPL", Panel1);
  ImageInfoEn = Image("ImageInfoEn", Panel1);
  for (TImageBox* info : {ImageInfoPL, ImageInfoEn}) {
    info->hide();
    info->setCursor(Qt::PointingHandCursor);
  }
  PanelVideo = new TVideoPanel(Panel1);
  PanelVideo->setObjectName("PanelVideo");
  PanelVideo->hide();
  Image1 = Image("Image1", PanelVideo);
  Image1->SetStretch(true);
  // The bar's two tiles: pictures to paint with, never shown themselves.
  ImgT = Image("ImgT", this);
  ImgN = Image("ImgN", this);
  ImgT->hide();
  ImgN->hide();
  CreateScreenLabels();
}

// The phone's keys, as they stand before a film is added.
void TfrmMain::CreateKeys() {
  btnAdd = Button("btnAdd");
  btnStop = Button("btnStop");
  btnPause = Button("btnPause");
  btnPlay = Button("btnPlay");
  btnClose = Button("btnClose");
  btnAddSub = Button("btnAddSub");
  btnSubOn = Button("btnSubOn");
  btnInfo = Button("btnInfo");
  btnMinimize = Button("btnMinimize");
  btnHi = Button("btnHi");
  btnLo = Button("btnLo");
  btnVol1 = Button("btnVol1");
  btnVol2 = Button("btnVol2");
  btnSetup = Button("btnSetup");
  btnStartConvert = Button("btnStartConvert");
  btnPauseConvert = Button("btnPauseConvert");
  btnResumeConvert = Button("btnResumeConvert");
  for (TRegionButton* opaque : {btnStop, btnPause}) {
    opaque->SetTransparent(false);
    opaque->SetGlyphTransparent(false);
  }
  for (TRegionButton* speed : {btnPause, btnPlay, btnSubOn, btnInfo, btnHi, btnLo}) speed->SetButtonStyle(btSpeed);
  btnInfo->SetGlyphTransparent(false);
  btnInfo->setCursor(Qt::WhatsThisCursor);
  for (TRegionButton* off : {btnStop, btnPause, btnPlay, btnAddSub, btnStartConvert}) off->setEnabled(false);
  for (TRegionButton* hidden : {btnSubOn, btnPauseConvert, btnResumeConvert}) hidden->hide();
  // Keys that change state act once on a double click.
  for (TRegionButton* once : {btnStartConvert, btnPauseConvert, btnResumeConvert, btnHi, btnLo, btnInfo})
    once->SetIgnoresDoubleClick(true);
  btnHi->SetDown(true);
  btnStartConvert->SetMarkDropDown(false);
}

void TfrmMain::CreateMenuAndLog() {
  MSkin = new QMenu(this);
  MSkin->setObjectName("MSkin");
  FSkinItems = new QActionGroup(MSkin);
  MSkin->addSeparator();
  CreateFitMenu();
  AlwaysOnTop = MSkin->addAction(tr("Always on top"));
  AlwaysOnTop->setObjectName(u"AlwaysOnTop"_s);
  AlwaysOnTop->setCheckable(true);
  GetPhone = MSkin->addAction(tr("Get Your Phone"));
  GetPhone->setObjectName("GetPhone");
  btnSetup->SetDropDownMenu(MSkin);

  LogWindow = new TLogWindow(this);
  mmoLog = LogWindow->Lines;
  grpLogLevel = LogWindow->Levels;
}

void TfrmMain::CreateTimers() {
  TimerStat = new QTimer(this);
  TimerStat->setObjectName("TimerStat");
  TimerStat->setInterval(3000);
  TimerCheckVersion = new QTimer(this);
  TimerCheckVersion->setObjectName("TimerCheckVersion");
  TimerCheckVersion->setInterval(3000);
  TimerCheckVersion->setSingleShot(true);
  connect(TimerCheckVersion, &QTimer::timeout, this, &TfrmMain::TimerCheckVersionTimer);
  TimerCheckVersion->start();
}

void TfrmMain::SetBackground(const QImage& background, const QImage& soft) {
  if (background.isNull()) return;
  const QSize size = background.deviceIndependentSize().toSize();
  FSoftEdge = !soft.isNull() && soft.deviceIndependentSize().toSize() == size && DesktopComposites();
  if (FSoftEdge) {
    FBackground = soft;
  } else {
    // The key colour's pixels are left unpainted as well as cut away: under
    // Wayland a mask only shapes the input, and the see-through part must show.
    QRgb key = background.pixel(0, background.height() - 1);
    FBackground = background.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < FBackground.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(FBackground.scanLine(y));
      for (int x = 0; x < FBackground.width(); ++x)
        if ((row[x] & 0xFFFFFF) == (key & 0xFFFFFF)) row[x] = 0;
    }
  }
  ImageBgn->SetPicture(FBackground);
  // The panel holds the visible controls: a taller or wider phone must not be cut by it.
  Panel1->resize(Panel1Size.expandedTo(size));
  ApplyWindowShape();
}

// The built-in look is the "Standard" skin carried inside the program.
void TfrmMain::LoadBuiltInLook() {
  QFile description(u":/standard/skin.all"_s);
  description.open(QIODevice::ReadOnly);
  LoadLook(u":/standard"_s, description.readAll(), false);
}

// The window has exactly the background's size; what the background leaves
// see-through (its key colour) is click-through too.
void TfrmMain::ApplyWindowShape() {
  if (FBackground.isNull()) return;
  setFixedSize(FBackground.deviceIndependentSize().toSize());
  setMask(AlphaToRegion(FBackground, FSoftEdge));
}

void TfrmMain::showEvent(QShowEvent* event) {
  ApplyWindowShape();
  QWidget::showEvent(event);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  // Always back to the background's size and shape.
  if (!FBackground.isNull() && event->size() != FBackground.deviceIndependentSize().toSize()) ApplyWindowShape();
  QWidget::resizeEvent(event);
}

void TfrmMain::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) ApplyWindowShape();
  QWidget::changeEvent(event);
}

void TfrmMain::DrawProgress(int fill) {
  FProgressFill = fill;
  // Drawn at the slot picture's pixel density, in the window's coordinates.
  const QImage& slot = ImageProgress->Picture();
  QImage bar(ImageProgress->size(), QImage::Format_RGB32);
  bar.fill(Qt::black);
  if (!slot.isNull()) bar = slot.convertToFormat(QImage::Format_RGB32);
  const QSize size = bar.deviceIndependentSize().toSize();
  TBarColumns columns = BarColumns(fill, size.width());
  QPainter painter(&bar);
  auto tile = [&](TImageBox* source, int from, int to) {
    if (to > from && !source->Picture().isNull()) painter.fillRect(QRect(from, 0, to - from, size.height()), QBrush(source->Picture()));
  };
  tile(ImgT, columns.FilledFrom, columns.FilledTo);
  tile(ImgN, columns.EmptyFrom, size.width());
  tile(ImgN, 0, columns.EmptyTo);
  painter.end();
  ImageProgress->SetPicture(bar);
}

void TfrmMain::ShowProgressText(const QString& text) {
  ForgetDoneFolder();
  LProgress->setStyleSheet(u"color: %1; background: transparent;"_s.arg(FProgressColour.name()));
  LProgress->setText(text);
  LProgress->adjustSize();  // the label grows with its text
}

TLogLevel TfrmMain::ChosenLogLevel() const { return LogWindow->Level(); }

void TfrmMain::Say(const std::string& line) {
  AppendLog(LogLine(CurrentThreadID(), static_cast<int>(TLogLevel::llInfo), line));
}

void TfrmMain::AppendLog(const std::string& line) {
  if (FEchoLog) std::fprintf(stderr, "%s\n", line.c_str());
  if (FLog.Add(line)) {
    // The oldest line goes; the text box follows the list.
    QTextCursor cursor(mmoLog->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
  mmoLog->appendPlainText(QString::fromStdString(line));
}

void TfrmMain::SayFailure(const std::string& prefix, const std::string& message, const QString& shown) {
  Say("");
  Say("***" + prefix + message);
  Say("");
  // The user sees it too, not only the hidden log.
  LMessage->Say(shown);
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F12) {
    LogWindow->Toggle();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!MayClose()) {
    event->ignore();
    return;
  }
  // No event may reach a window on its way out; then the blocking stop.
  FUpdate.Abort();
  LogWindow->close();  // where it was left is kept for the next start
  DetachEvents();
  FSession.Stop(true);
  FFPlayer.Stop(true);
  event->accept();
}

}  // namespace vidora::app
