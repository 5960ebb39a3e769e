// Firmware image files dropped onto the main window: the model loads them.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/main_window.h"

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
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(file.toStdString());
  model_.DropFiles(paths);
}
