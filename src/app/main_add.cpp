// Adding a file: one encoder job, the preview, and the subtitles.
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>

#include <filesystem>

#include "skin/image_box.h"
#include "app/main_window.h"
#include "app/plain_words.h"
#include "app/progress_rules.h"
#include "app/video_panel.h"
#include "options/option_form.h"
#include "options/settings_store.h"
#include "options/subtitle_scheduler.h"
#include "skin/region_button.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

constexpr QLatin1StringView VideoPatterns(
    "*.AVI *.AVM *.ASF *.WMV *.AVS *.FLV *.MKV *.MOV *.3GP *.MP4 *.MPG *.MPEG *.DAT *.OGM *.VOB *.RM *.RMVB *.TS *.TP "
    "*.IFO *.NSV");
constexpr QLatin1StringView AudioPatterns(
    "*.MP3 *.AAC *.WAV *.WMA *.CDA *.FLAC *.M4A *.MID *.MKA *.MP2 *.MPA *.MPC *.APE *.OFR *.OGG *.RA *.WV *.TTA *.AC3 "
    "*.DTS");
constexpr QLatin1StringView SubtitlePatterns("*.txt *.sub *.srt *.ssa *.smi *.ass");

// The patterns stay out of the translated names, so no translation can break them.
QString Filter(const QString& name, const QString& patterns) { return name + u" ("_s + patterns + u')'; }

// Both dialogs open in the folder a file was last chosen from, also after a restart.
std::string ChooseFromLastFolder(QWidget* parent, const QString& title, const QStringList& filters) {
  SettingsStore settings(OwnOrganisation, OwnApplication);
  QString folder = QString::fromStdString(settings.ReadString(setting::LastFolder).value_or(std::string()));
  QString chosen = QFileDialog::getOpenFileName(parent, title, folder, filters.join(u";;"_s));
  if (!chosen.isEmpty()) settings.WriteString(setting::LastFolder, QFileInfo(chosen).absolutePath().toStdString());
  return chosen.toStdString();
}

}  // namespace

void TfrmMain::btnAddClick() {
  if (!EnsureEncoderLibraries()) return;
  const QStringList filters{Filter(tr("Video/Audio Files"), QString(VideoPatterns) + u' ' + AudioPatterns),
                            Filter(tr("Video Files"), VideoPatterns), Filter(tr("Audio Files"), AudioPatterns),
                            Filter(tr("All Files"), u"*"_s)};
  std::string fileName = ChooseInputFile ? ChooseInputFile() : ChooseFromLastFolder(this, {}, filters);
  // Cancelled: the film loaded stays loaded.
  if (fileName.empty()) return;
  AddFile(fileName);
}

void TfrmMain::AddFile(const std::string& fileName) {
  if (!EnsureEncoderLibraries()) return;
  FSession.ClearJobs();
  AddChosenFile(fileName);
}

void TfrmMain::OpenArguments(const QStringList& arguments) {
  // A film named on the command line is added as if dropped; a subtitle file may follow it.
  if (arguments.isEmpty()) return;
  std::string film = arguments[0].toStdString();
  if (!QFileInfo::exists(arguments[0])) {
    SayFailure("File load error: ", film + ": No such file or directory", TPlainWords::NoSuchFilm(film));
    return;
  }
  AddFile(film);
  // Subtitles need the film: without it, its reason stays on the screen.
  if (CurrentJob() && arguments.size() > 1 && HasSubtitleExtension(arguments[1].toStdString()))
    LoadSubtitles(arguments[1].toStdString());
}

bool TfrmMain::EnsureEncoderLibraries() {
  TFFEncoder& encoder = FSession.Encoder();
  if (encoder.AVLibLoaded() || encoder.LoadAVLib(FLibAVFolder)) return true;
  SayFailure("", encoder.LastErrMsg(), TPlainWords::NoLibraries(encoder.LastErrMsg()));
  return false;
}

TSessionJob* TfrmMain::CurrentJob() const {
  for (const auto& job : FSession.Jobs())
    if (job->Set()) return job.get();
  return nullptr;
}

void TfrmMain::AddChosenFile(const std::string& fileName) {
  ShowProgressText(FProgressPrefix + u" 0%"_s);
  FFLogger.SetLogLevel(ChosenLogLevel());
  TSessionJob& job =
      FSession.AddJob({.Input = fileName, .FixedMode = !btnHi->Down(), .SizeLimit = FFit->Limit, .Split = FFit->Split});
  if (!job.Set()) {
    ShowNoFilm();
    // A file that could not be opened has no output name yet.
    bool writing = !job.Output.empty();
    SayFailure(writing ? "Cannot do convert, error: " : "File load error: ", job.Failure,
               TPlainWords::FilmFailure(fileName, job.Failure, writing));
    return;
  }
  LMessage->hide();
  if (!job.FitRefusal.empty()) {
    // The film stays chosen, so that another size in the phone menu makes it again.
    ShowNoFilm();
    ShowFilmName(&job);
    SayFailure("Cannot fit: ", job.FitRefusal, TFitWords::Refusal(*FFit, job.FitLongest));
    return;
  }
  ShowFilmName(&job);
  if (!FSubtitleFile.empty()) ReadSubtitles(job, FSubtitleFile);
  UpdatePreviewSubtitles();
  Say("");
  Say("***File has been added to convert list.");
  Say("");
  for (TRegionButton* button : {btnStartConvert, btnStop, btnPause, btnPlay}) button->setEnabled(true);
  btnPause->SetDown(false);
  btnPlay->SetDown(true);
  StartPreview(fileName);
}

void TfrmMain::StartPreview(const std::string& fileName) {
  if (!FFPlayer.AVLibLoaded() && !FFPlayer.LoadAVLib(FLibAVFolder)) {
    Say(FFPlayer.LastErrMsg());
    return;
  }
  Image1->SetPicture(QImage());  // the player's pictures show through
  // Shown first: a hidden panel learns its size only when it is shown, and the player asks for it.
  PanelVideo->show();
  // The player keeps the screen size of its first file unless told to ask again: the phone may have changed.
  FFPlayer.ScreenWidth = FFPlayer.ScreenHeight = 0;
  if (!FFPlayer.Open(fileName, PanelVideo)) {
    PanelVideo->hide();
    Say(FFPlayer.LastErrMsg());
    return;
  }
  // The small transport keys drive the preview again, also after a conversion.
  FTransport = TTransport::Player;
  DrawProgress(1);
  FProgressFill = 0;
  ImageProgress->SetPercent(0);
  ImageProgress->setCursor(Qt::PointingHandCursor);
  btnAddSub->setEnabled(true);
  (btnHi->Down() ? btnLo : btnHi)->setEnabled(false);
}

void TfrmMain::btnAddSubClick() {
  const QStringList filters{Filter(tr("Subtitle Files"), SubtitlePatterns), Filter(tr("All Files"), u"*"_s)};
  std::string fileName = ChooseSubtitleFile ? ChooseSubtitleFile()
                                            : ChooseFromLastFolder(this, tr("Mirvo - Choose Subtitles"), filters);
  if (!fileName.empty()) LoadSubtitles(fileName);
}

void TfrmMain::LoadSubtitles(const std::string& fileName) {
  TSessionJob* job = CurrentJob();
  if (!job) return;
  if (!ReadSubtitles(*job, fileName)) {
    SayFailure("Subtitle load error: ", fileName, TPlainWords::NoSubtitles(fileName));
    return;
  }
  FSubtitleFile = fileName;
  if (!job->SubtitleNote.empty()) Say(job->SubtitleNote);
  btnSubOn->show();
  SetSubtitlesOn(true);
}

bool TfrmMain::ReadSubtitles(TSessionJob& job, const std::string& fileName) {
  // Some 10 MB of subtitles take half a second to read: the screen says what
  // the wait is for. A small file is read before anyone could notice.
  constexpr std::uintmax_t NoticeableBytes = 4 << 20;
  std::error_code error;
  if (std::filesystem::file_size(fileName, error) < NoticeableBytes || error) return FSession.LoadSubtitles(job, fileName);
  const QString before = LProgress->text();
  ShowProgressText(tr("Reading subtitles…"));
  LProgress->repaint();
  bool read = FSession.LoadSubtitles(job, fileName);
  ShowProgressText(before);
  return read;
}

void TfrmMain::SetSubtitlesOn(bool on) {
  btnSubOn->SetDown(on);
  FSession.SetSubtitlesOn(on && btnSubOn->isVisible());
  UpdatePreviewSubtitles();
}

void TfrmMain::UpdatePreviewSubtitles() {
  TSessionJob* job = CurrentJob();
  bool on = job && btnSubOn->isVisible() && btnSubOn->Down();
  {
    std::lock_guard lock(FPreviewSubtitlesLock);
    FPreviewSubtitles = on ? std::make_shared<TSubtitleScheduler>(job->Subtitles, FOptions.Subtitles, FOptions.Font, true)
                           : nullptr;
  }
  FFPlayer.SetVideoHook(on);
}

// On the player's thread, for each picture it shows.
void TfrmMain::DrawPreviewSubtitles(TBitmap& picture, int64_t pts, bool& update) {
  std::shared_ptr<TSubtitleScheduler> subtitles;
  {
    std::lock_guard lock(FPreviewSubtitlesLock);
    subtitles = FPreviewSubtitles;
  }
  update = subtitles && subtitles->DrawAt(pts, picture);
}

void TfrmMain::btnSubOnClick() {
  // The click toggles the speed button after its handlers ran; the running
  // job's scheduler stops burning in at its next frame.
  QMetaObject::invokeMethod(
      this, [this] {
        FSession.SetSubtitlesOn(btnSubOn->Down() && btnSubOn->isVisible());
        UpdatePreviewSubtitles();
      },
      Qt::QueuedConnection);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  std::vector<std::string> files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
  TDropAction action = DropAction(files, btnAdd->isEnabled(), btnAddSub->isEnabled());
  if (action.Kind == TDropAction::AddFile) AddFile(action.FileName);
  if (action.Kind == TDropAction::LoadSubtitles) LoadSubtitles(action.FileName);
  event->acceptProposedAction();
}

}  // namespace vidora::app
