// Firmware image files dropped onto the main window.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "app/main_window.h"
#include "window/image_open.h"

namespace {

// The local files among the dropped URLs, in drop order. Other URLs (web
// links, remote shares not mounted locally) cannot be read as files.
QStringList LocalFiles(const QMimeData* mime) {
  QStringList files;
  if (!mime || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) files << url.toLocalFile();
  }
  return files;
}

}  // namespace

bool TRXProgAppForm::EnableFileDrops() {
  setAcceptDrops(true);
  return true;
}

void TRXProgAppForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TRXProgAppForm::dropEvent(QDropEvent* event) {
  const QStringList files = LocalFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  WMDropFiles(files);
}

void TRXProgAppForm::WMDropFiles(const QStringList& files) {
  raise();
  activateWindow();
  DropFileName = files.isEmpty() ? QString() : files.first();
  if (DropFileName.isEmpty() || !FlashWrRXCont()) return;

  // The loaders may show a message box; a close that arrives meanwhile must
  // not release the controller under them.
  ControllerUse use(*this);
  const std::string path = QFile::encodeName(DropFileName).toStdString();
  // Another type would be refused without a word; the person is told why.
  if (const std::string problem = kv9::window::ImageFileProblem(path); !problem.empty()) {
    ShowMessage(problem);
    AppendLog("NG: Read ROM Data", 1);
    return;
  }
  const int loaded = FlashWrRXCont()->LoadImageFile(path);
  AppendLog(loaded ? "OK: Read ROM Data" : "NG: Read ROM Data", 1);
  if (loaded && FlashWrRXCont()) AppendLog(kv9::window::LoadedImageLine(*FlashWrRXCont(), DropFileName.toStdString()), 1);
}
