// Adding a file: one encoder job, the preview, and the subtitles.
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>

#include "app/image_box.h"
#include "app/main_window.h"
#include "app/preview_window.h"
#include "app/progress_rules.h"
#include "app/video_panel.h"
#include "options/option_form.h"
#include "options/subtitle_scheduler.h"
#include "skin/region_button.h"

namespace vidora::app {

namespace {

const char* const InputFilter =
    "Video/Audio Files (*.AVI *.AVM *.ASF *.WMV *.AVS *.FLV *.MKV *.MOV *.3GP *.MP4 *.MPG *.MPEG *.DAT *.OGM *.VOB "
    "*.RM *.RMVB *.TS *.TP *.IFO *.NSV *.MP3 *.AAC *.WAV *.WMA *.CDA *.FLAC *.M4A *.MID *.MKA *.MP2 *.MPA *.MPC *.APE "
    "*.OFR *.OGG *.RA *.WV *.TTA *.AC3 *.DTS);;"
    "Video Files (*.AVI *.AVM *.ASF *.WMV *.AVS *.FLV *.MKV *.MOV *.3GP *.MP4 *.MPG *.MPEG *.DAT *.OGM *.VOB *.RM "
    "*.RMVB *.TS *.TP *.IFO *.NSV);;"
    "Audio Files (*.MP3 *.AAC *.WAV *.WMA *.CDA *.FLAC *.M4A *.MID *.MKA *.MP2 *.MPA *.MPC *.APE *.OFR *.OGG *.RA *.WV "
    "*.TTA *.AC3 *.DTS);;"
    "All Files (*)";
const char* const SubtitleFilter = "Teksty do Filmów (*.txt *.sub *.srt *.ssa *.smi *.ass);;Wszystkie Pliki (*)";

// Closes the decoder on every way out of an add.
struct TCloseOnExit {
  TFFDecoder& Decoder;
  ~TCloseOnExit() { Decoder.CloseFile(); }
};

}  // namespace

void TfrmMain::btnAddClick() {
  if (!EnsureEncoderLibraries()) return;
  Kodra.ClearTasks();
  std::string fileName = ChooseInputFile ? ChooseInputFile()
                                         : QFileDialog::getOpenFileName(this, QString(), QString(), InputFilter)
                                               .toStdString();
  if (fileName.empty()) return;
  AddChosenFile(fileName);
}

void TfrmMain::AddFile(const std::string& fileName) {
  if (!EnsureEncoderLibraries()) return;
  Kodra.ClearTasks();
  AddChosenFile(fileName);
}

bool TfrmMain::EnsureEncoderLibraries() {
  if (Kodra.AVLibLoaded() || Kodra.LoadAVLib(FLibAVFolder)) return true;
  SayFailure("", Kodra.LastErrMsg());
  return false;
}

void TfrmMain::AddChosenFile(const std::string& fileName) {
  ShowProgressText(FProgressPrefix + " 0%");
  FFLogger.SetLogLevel(ChosenLogLevel());
  TFFDecoder& decoder = Kodra.Decoder();
  if (!decoder.LoadFile(fileName)) {
    SayFailure("File load error: ", decoder.LastErrMsg());
    return;
  }
  TCloseOnExit closer{decoder};
  FOptions.SetSourceDecoder(&decoder);
  TOutputOptions output;
  TInputOptions input;
  try {
    FOptions.GetOutputOptions(output, !btnHi->Down());
    FOptions.GetInputOptions(input);
  } catch (const std::exception& error) {
    FOptions.SetSourceDecoder(nullptr);
    SayFailure("Cannot do convert, error: ", error.what());
    return;
  }
  FOptions.SetSourceDecoder(nullptr);
  FSubtitleFrameRate = SubtitleFrameRate(decoder);
  if (!AddJob(input, output)) return;
  StartPreview(fileName);
}

bool TfrmMain::AddJob(TInputOptions& input, TOutputOptions& output) {
  int index = Kodra.AddTask(input.FileName, &input);
  if (index < 0) {
    SayFailure("File open error: ", Kodra.LastErrMsg());
    return false;
  }
  // Should the preview window be asked for, the engine paints into ours.
  Kodra.Task(index).SetPreviewerFactory([] { return std::make_unique<TPreviewer>(); });
  if (!Kodra.SetOutputFile(index, output.FileName, &output)) {
    Kodra.RemoveTask(index);
    SayFailure("Cannot do convert, error: ", Kodra.LastErrMsg());
    return false;
  }
  Say("");
  Say("***File has been added to convert list.");
  Say("");
  for (TRegionButton* button : {btnStartConvert, btnStop, btnPause, btnPlay}) button->setEnabled(true);
  btnPause->SetDown(false);
  btnPlay->SetDown(true);
  return true;
}

void TfrmMain::StartPreview(const std::string& fileName) {
  if (!FFPlayer.AVLibLoaded() && !FFPlayer.LoadAVLib(FLibAVFolder)) {
    Say(FFPlayer.LastErrMsg());
    return;
  }
  Image1->SetPicture(QImage());  // the player's pictures show through
  // Shown first: a hidden panel learns its size only when it is shown, and the player asks for it.
  PanelVideo->show();
  if (!FFPlayer.Open(fileName, PanelVideo)) {
    PanelVideo->hide();
    Say(FFPlayer.LastErrMsg());
    return;
  }
  DrawProgress(1);
  ImageProgress->Tag = 0;
  ImageProgress->setCursor(Qt::PointingHandCursor);
  btnAddSub->setEnabled(true);
  (btnHi->Down() ? btnLo : btnHi)->setEnabled(false);
}

void TfrmMain::btnAddSubClick() {
  std::string fileName = ChooseSubtitleFile ? ChooseSubtitleFile()
                                            : QFileDialog::getOpenFileName(this, "Mirvo - Wybierz Tekst", QString(),
                                                                           SubtitleFilter)
                                                  .toStdString();
  if (!fileName.empty()) LoadSubtitles(fileName);
}

void TfrmMain::LoadSubtitles(const std::string& fileName) {
  std::string note;
  if (!FOptions.LoadTXT(fileName, FSubtitleFrameRate, &note)) {
    SayFailure("Subtitle load error: ", fileName);
    return;
  }
  if (!note.empty()) Say(note);
  btnSubOn->show();
  SetSubtitlesOn(true);
}

void TfrmMain::SetSubtitlesOn(bool on) {
  btnSubOn->SetDown(on);
  if (FScheduler) FScheduler->SetSubtitlesOn(on && btnSubOn->isVisible());
}

void TfrmMain::btnSubOnClick() {
  // The click toggles the speed button after its handlers ran; the running
  // job's scheduler stops burning in at its next frame.
  QMetaObject::invokeMethod(
      this, [this] { if (FScheduler) FScheduler->SetSubtitlesOn(btnSubOn->Down() && btnSubOn->isVisible()); },
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
