// Files dropped onto the main window, on the offscreen platform.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "app/kv9_application.h"
#include "app/log_memo.h"
#include "app/main_window.h"
#include "link/flash_wr_rx_cont.h"
#include "app/qt_message_pump.h"
#include "image/loader_texts.h"
#include "tests/support/modal_driver.h"

namespace {

// One S3 record with its checksum.
QByteArray S3Line(quint32 address, const QByteArray& data) {
  QByteArray bytes;
  bytes.append(char(data.size() + 5));
  for (int shift = 24; shift >= 0; shift -= 8) bytes.append(char(address >> shift));
  bytes.append(data);
  quint32 sum = 0;
  for (char b : bytes) sum += quint8(b);
  bytes.append(char(0xFF - (sum & 0xFF)));
  // Each file is this one record and the termination record that ends a
  // whole file.
  return "S3" + bytes.toHex().toUpper() + "\r\nS70500000000FA\r\n";
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return {};
  return path;
}

}  // namespace

class MainWindowDropTest : public QObject {
  Q_OBJECT

  QByteArray Buffer(TRXProgAppForm& form) {
    auto* cont = form.Model().Controller();
    return QByteArray(reinterpret_cast<const char*>(cont->ImageStream.Memory()),
                      qsizetype(cont->ImageStream.Size()));
  }

  // Sends a drop of `urls` to `target` the way the platform delivers it.
  static bool Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPointF at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }

 private slots:
  void windowAcceptsDrops() {
    TRXProgAppForm form;
    QVERIFY(form.acceptDrops());
  }

  void droppedSRecordFileIsLoadedAndOnlyTheFirstOfTwo() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray data = QByteArray::fromHex("0123456789ABCDEF");
    const QString first = WriteFile(dir, "first.mot", S3Line(0xFFFC0000, data));
    const QString second = WriteFile(dir, "second.mot", S3Line(0xFFFC0000, "zz"));
    TRXProgAppForm form;

    QVERIFY(Drop(&form, {QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
    QCOMPARE(QString::fromStdString(form.Model().Settings().DropFileName), first);
    // One 256-byte block to program; the CRC is the one the update compares.
    const QString crc = QString::asprintf("0x%04X", form.Model().Controller()->ImageCrc());
    QCOMPARE(form.SPTMemo->Lines(),
             (QStringList{"OK: Read ROM Data", "ROMデータ : " + first + "  書込 256バイト  CRC " + crc + "  バージョン なし"}));
    const QByteArray buffer = Buffer(form);
    QCOMPARE(buffer.size(), 262144);
    QCOMPARE(buffer.left(8), data);
    QCOMPARE(buffer.count(char(0xFF)), 262144 - 8);
    QCOMPARE(form.Model().Controller()->ImageLoaded, quint8(1));
  }

  void dropOnTheLogPaneReachesTheWindow() {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "image.MOT", S3Line(0xFFFC0010, "\x5A"));
    TRXProgAppForm form;
    QVERIFY(Drop(form.SPTMemo, {QUrl::fromLocalFile(path)}));
    QCOMPARE(form.SPTMemo->Lines().first(), QStringLiteral("OK: Read ROM Data"));
    QCOMPARE(Buffer(form).at(0x10), char(0x5A));
  }

  void refusedExtensionLogsNgAndKeepsTheEmbeddedImage() {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "image.s19", S3Line(0xFFFC0000, "\x01"));
    TRXProgAppForm form;
    const QByteArray before = Buffer(form);
    QStringList boxes;
    kv9::test::ModalDriver driver({kv9::test::AnswerMessageBox(&boxes)});
    QVERIFY(Drop(&form, {QUrl::fromLocalFile(path)}));
    QCOMPARE(boxes, QStringList{kv9::kUnknownExtensionText});  // told, not silence
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"NG: Read ROM Data"});
    QCOMPARE(Buffer(form), before);
    QCOMPARE(form.Model().Controller()->ImageLoaded, quint8(1));
  }

  void outOfAreaRecordShowsTheBoxLogsNgAndClearsTheImage() {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "image.mot", S3Line(0x00100000, "\x01"));
    TRXProgAppForm form;
    QStringList boxes;
    kv9::test::ModalDriver driver({kv9::test::AnswerMessageBox(&boxes)});
    form.WMDropFiles({path});
    QCOMPARE(boxes, QStringList{"データが、範囲外です！！"});
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"NG: Read ROM Data"});
    QCOMPARE(form.Model().Controller()->ImageLoaded, quint8(0));
    QCOMPARE(Buffer(form).count(char(0xFF)), 262144);
  }

  void unreadableFileShowsWhyAndChangesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath("gone.mot");
    TRXProgAppForm form;
    const QByteArray before = Buffer(form);
    QStringList boxes;
    kv9::test::ModalDriver driver({kv9::test::AnswerMessageBox(&boxes)});
    form.WMDropFiles({path});
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith("ファイルを読み込めません: " + path), qPrintable(boxes[0]));
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"NG: Read ROM Data"});
    QCOMPARE(Buffer(form), before);
    QCOMPARE(form.Model().Controller()->ImageLoaded, quint8(1));
  }

  void dropsWithoutLocalFilesLoadNothing() {
    TRXProgAppForm form;
    form.Model().Settings().DropFileName = "earlier.mot";
    QVERIFY(!Drop(&form, {QUrl("https://example.invalid/image.mot")}));
    QCOMPARE(form.Model().Settings().DropFileName, std::string("earlier.mot"));
    form.WMDropFiles({});
    QVERIFY(form.Model().Settings().DropFileName.empty());
    QVERIFY(form.SPTMemo->Lines().isEmpty());
  }
};

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  MainWindowDropTest test;
  const int result = QTest::qExec(&test, argc, argv);
  kv9::SetPump(nullptr);
  return result;
}

#include "main_window_drop_test.moc"
