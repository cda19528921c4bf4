// TfrmMain: the program's window. It hands a file the user picks or drops to
// its conversion session, starts, pauses and resumes the conversion, shows
// progress, a remaining-time estimate and preview pictures, plays the
// preview, and keeps the log. Its rules live in plain functions
// (progress_rules, remaining_time, control_rules); this class wires them.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/control_rules.h"
#include "app/desktop_notices.h"
#include "app/fit_choice.h"
#include "app/fitted_label.h"
#include "app/progress_box.h"
#include "app/remaining_time.h"
#include "app/screen_message.h"
#include "app/web_pages.h"
#include "media/base/logger.h"
#include "media/play/player.h"
#include "session/conversion_session.h"
#include "update/update_request.h"

class QActionGroup;
class QGroupBox;
class QPushButton;
class QMenu;
class QMessageBox;
class QPlainTextEdit;
class QTimer;

namespace vidora {
class TfrmOption;
class TRegionButton;
class TImageBox;
class TSubtitleScheduler;
}  // namespace vidora

namespace vidora::app {

class TLogWindow;
class TShortcutsPage;
class TVideoPanel;

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* ProgramVersion = "1.2";
  static constexpr int LogCapacity = 5000;
  static constexpr QSize Panel1Size{393, 500};

  // `polish` picks the Polish information picture; the texts follow the installed translation.
  explicit TfrmMain(TfrmOption& options, bool polish, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // A file named on the command line or dropped: added as the button adds one.
  void AddFile(const std::string& fileName);
  // A subtitle file named on the command line or dropped.
  void LoadSubtitles(const std::string& fileName);
  // The command line: a film, then optionally its subtitle file.
  void OpenArguments(const QStringList& arguments);
  // Each log line is also written to standard error (-v).
  void SetEchoLog(bool on) { FEchoLog = on; }
  // The short red reason shown over the phone's screen after a failed add.
  bool ShowsFailure() const { return !LMessage->isHidden(); }

  // The components, named as skin files address them.
  QWidget* Panel1;
  TImageBox* ImageBgn;
  QLabel* LProgress;
  TFittedLabel* LFilmName;  // the loaded film, above the phone's screen
  TScreenMessage* LMessage;  // what went wrong, over the phone's screen
  TProgressBox* ImageProgress;
  TImageBox* ImageInfoPL;
  TImageBox* ImageInfoEn;
  TVideoPanel* PanelVideo;
  TImageBox* Image1;
  TImageBox* ImgT;
  TImageBox* ImgN;
  TRegionButton* btnAdd;
  TRegionButton* btnStop;
  TRegionButton* btnPause;
  TRegionButton* btnPlay;
  TRegionButton* btnClose;
  TRegionButton* btnAddSub;
  TRegionButton* btnSubOn;
  TRegionButton* btnInfo;
  TRegionButton* btnMinimize;
  TRegionButton* btnHi;
  TRegionButton* btnLo;
  TRegionButton* btnVol1;
  TRegionButton* btnVol2;
  TRegionButton* btnSetup;
  TRegionButton* btnStartConvert;
  TRegionButton* btnPauseConvert;
  TRegionButton* btnResumeConvert;
  TLogWindow* LogWindow;  // F12
  QPlainTextEdit* mmoLog;
  QGroupBox* grpLogLevel;
  QMenu* MSkin;
  QMenu* MFitInto;  // the size the film must fit (stored)
  QAction* AlwaysOnTop;  // checked: the phone stays above other windows (stored)
  QAction* GetPhone;
  QTimer* TimerStat;
  QTimer* TimerCheckVersion;

  TFFLogger FFLogger;  // first made, last gone: every component logs through it
  TFFPlayer FFPlayer;

  int64_t TotalDuration = 0;
  int64_t CurrentDuration = 0;

  // Button handlers, public so that the skin menu and tests reach them.
  void btnAddClick();
  void btnAddSubClick();
  void btnStartConvertClick();
  void btnPauseConvertClick();
  void btnResumeConvertClick();
  void btnSubOnClick();
  void btnPlayClick();
  void btnPauseClick();
  void btnStopClick();
  void btnInfoClick();
  // Where the web pages go; tests record them instead.
  TUrlOpener UrlOpener;
  // The desktop's notifications and task bar; tests point them at a bus of their own.
  TDesktopNotices Notices;
  // Asked before a close stops a conversion; true stops. Empty: a message box asks.
  std::function<bool(const QString& question)> AskToStop;
  // A stop signal closes the window without asking.
  void CloseWithoutAsking();
  void TimerStatTimer();
  // Once, 3 s after start-up: the daily update check (main_update.cpp).
  void TimerCheckVersionTimer();
  // The update server; empty: no request. Tests point it at their own.
  std::function<std::string()> UpdateServer = ServerAddress;
  // main_skin.cpp: the skin menu and the skins. At start-up: the menu, then
  // the stored skin unless it is the built-in "Standard".
  void StartWithSkin(const std::string& name);
  void WczytajNazwy();
  void MenuSelectSkinClick(QAction* item);
  // Loads the phone named FSkinName; false, with the reason shown, for one
  // without a usable profile, which leaves the window as it was.
  bool WczytajSkorke();
  const std::string& SkinName() const { return FSkinName; }
  // The dialogs, replaceable by tests: the chosen name, or empty when cancelled.
  std::function<std::string()> ChooseInputFile;
  std::function<std::string()> ChooseSubtitleFile;
  // The bar drawn at fill position p.
  void DrawProgress(int fill);
  int ProgressFill() const { return FProgressFill; }
  const TConversionSession& Session() const { return FSession; }
  const TBoundedLog& Log() const { return FLog; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // main_window.cpp: the components, the look, the language.
  void CreateComponents();
  void CreateScreen();
  void CreateKeys();
  void CreateMenuAndLog();
  void CreateTimers();
  // main_fit.cpp: the size the film must fit, chosen in the phone menu.
  void CreateFitMenu();
  void FitIntoClick(const TFitChoice& choice);
  // "45% (-01:23)" after the part and the pass under way when they fit
  // beside the bar ("Pass 1/2: 45% (-01:23)"), else after "Progress: ".
  QString WithStage(const QString& done, const TSessionProgress& progress, const QString& remaining) const;
  // Components are made by name: their places, sizes and faces come from the skin.
  TRegionButton* Button(const char* name);
  TImageBox* Image(const char* name, QWidget* parent);
  void LoadBuiltInLook();
  // main_skin.cpp: a skin folder's look (and profile) applied to the window.
  void LoadLook(const QString& folder, const QByteArray& description, bool keepCentre);
  QWidget* SkinComponent(const std::string& name) const;
  void ApplyWindowShape();
  // The window's background: its size, its shape (the bottom-left pixel's colour is see-through).
  // `soft`, when given and the desktop composites, is shown instead: the same
  // phone with its edge anti-aliased in the alpha channel.
  void SetBackground(const QImage& background, const QImage& soft = {});
  void Say(const std::string& line);  // a log line of the window's own
  void AppendLog(const std::string& line);
  // Logs "***" + prefix + message; the user reads `shown`.
  void SayFailure(const std::string& prefix, const std::string& message, const QString& shown);
  void ShowProgressText(const QString& text);
  TLogLevel ChosenLogLevel() const;

  // main_keyboard.cpp: shortcuts, the order of Tab, the information pages.
  std::vector<TRegionButton*> Keys() const;
  void CreateKeyboard();
  void PauseOrResume();
  void SeekPreview(int64_t step);
  void ArrangeKeys();
  void SetFocusColour(QRgb colour);
  void ShowInformationPage(int page);
  // key_names.cpp: names for screen readers, hints for the pointer.
  void NameKeys();
  void NameSubtitleKey();

  // main_controls.cpp: the window's own controls.
  void ConnectControls();
  void QualityClick(bool hi);
  void KeepOnTop(bool on);

  // main_screen.cpp: what the phone's screen says besides the preview.
  void CreateScreenLabels();
  void PlaceScreenLabels();
  void ShowFilmName(const TSessionJob* job);  // nullptr: no film
  // The window as it is without a film: nothing to convert, play or subtitle.
  void ShowNoFilm();

  // main_add.cpp: adding a file and its job.
  bool EnsureEncoderLibraries();
  void AddChosenFile(const std::string& fileName);
  // The film's job, when one is set up.
  TSessionJob* CurrentJob() const;
  void StartPreview(const std::string& fileName);
  void SetSubtitlesOn(bool on);
  bool ReadSubtitles(TSessionJob& job, const std::string& fileName);
  // The preview draws the film's subtitles while burn-in is on.
  void UpdatePreviewSubtitles();
  void DrawPreviewSubtitles(TBitmap& picture, int64_t pts, bool& update);

  // main_convert.cpp: the conversion's events.
  void KodraProgress(const TSessionProgress& progress);
  void KodraTerminate(const TSessionJob& job);
  void KodraPreviewBitmap(const TBitmap& picture);
  void FFLoggerLog(uint32_t threadId, TLogLevel level, const std::string& message);
  void FFPlayerPosition(int64_t pts);
  void BindEvents();
  void DetachEvents();
  QString TimeOfDay(int64_t milliseconds) const;

  // main_notices.cpp: progress in the title and on the task bar, the end of a
  // run where the progress stood, the question before closing.
  void StartTellingProgress();
  void TellProgress(int64_t percent);
  void TellJobEnded(const TSessionJob& job);
  void OfferDoneFolder(const QString& text, const std::string& output);
  void ForgetDoneFolder();
  bool OpenDoneFolder(QEvent& event);
  bool Converting() const;
  bool MayClose();
  bool AskStopConverting(const QString& question);

  TfrmOption& FOptions;
  TConversionSession FSession{FOptions};
  // Whether the small transport keys drive the preview player or the conversion.
  enum class TTransport { Player, Conversion } FTransport = TTransport::Player;
  int FProgressFill = 0;           // the bar's fill column as drawn last
  bool FShowNextPreview = false;   // every second conversion picture is shown
  std::string FSubtitleFile;       // loaded for the film, again for the next one
  // The loaded subtitles drawn over the preview as they will be burned in:
  // made on the GUI thread, drawn with on the player's.
  std::mutex FPreviewSubtitlesLock;
  std::shared_ptr<TSubtitleScheduler> FPreviewSubtitles;
  bool FPolish;
  QString FProgressPrefix;
  std::string FRemainingText;
  TRemainingTime FRemaining;
  TBoundedLog FLog{LogCapacity};
  bool FEchoLog = false;
  std::string FLibAVFolder;
  TUpdateRequest FUpdate;
  QImage FBackground;  // as shown: see-through where the window is cut away
  bool FSoftEdge = false;  // FBackground's edge is anti-aliased in its alpha channel
  QColor FProgressColour{Qt::lightGray};
  std::string FSkinName = "Standard";
  QActionGroup* FSkinItems = nullptr;
  QActionGroup* FFitItems = nullptr;
  const TFitChoice* FFit = &FitChoices().front();
  QPoint FDragFrom;
  bool FDragging = false;
  QString FIdleTitle;            // the title to go back to after a run
  QString FConvertingName;       // the film being converted, for the title
  int64_t FToldPercent = -1;     // what the title and the task bar show
  std::string FDoneOutput;       // the written file the progress label offers
  bool FCloseWithoutAsking = false;
  QPointer<QMessageBox> FStopQuestion;  // open while a close asks
  TShortcutsPage* FShortcutsPage = nullptr;
  QPushButton* FPageMark = nullptr;  // turns the information view's page
  int FInfoPage = 0;                 // 0: not shown, 1: the picture, 2: the shortcuts
};

}  // namespace vidora::app
