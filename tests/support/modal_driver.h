#pragma once
// Driving the modal windows the tool opens, from inside their own event loop,
// for the Qt suites. A failing test ends instead of hanging in a modal loop.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>
#include <memory>

namespace kv9::test {

// Runs `drive` from inside the exec() of the next modal dialog of type T.
// `drive` must end the dialog the way the test means to: one it leaves open
// fails the test (a dead Cancel button or Esc key would otherwise pass) and
// is rejected so the test goes on. When no such dialog turns up within 5 s
// every modal dialog is rejected.
template <typename T>
void WhenModal(std::function<void(T*)> drive) {
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [timer, clock, drive] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dlg = qobject_cast<T*>(modal)) {
      timer->stop();
      timer->deleteLater();
      QPointer<T> guard(dlg);
      drive(dlg);
      if (guard && guard->isVisible()) {
        QTest::qFail("the driven dialog was left open", __FILE__, __LINE__);
        guard->reject();
      }
    } else if (clock->elapsed() > 5000) {
      timer->stop();
      timer->deleteLater();
      qWarning("WhenModal: the expected modal dialog did not appear");
      while (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) open->reject();
    }
  });
  timer->start(10);
}

// Answers the modal windows the tool opens, in order: each step gets the
// active modal widget and returns true once it has handled it.
using ModalSteps = std::deque<std::function<bool(QWidget*)>>;
class ModalDriver : public QObject {
 public:
  explicit ModalDriver(ModalSteps steps) : steps_(std::move(steps)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (steps_.empty()) return;
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && steps_.front()(modal)) steps_.pop_front();
    });
    timer_.start(20);
  }
  bool Done() const { return steps_.empty(); }

 private:
  ModalSteps steps_;
  QTimer timer_;
};

// A step that answers a message box with its first button and keeps its text.
inline std::function<bool(QWidget*)> AnswerMessageBox(QStringList* texts) {
  return [texts](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    texts->append(box->text());
    box->buttons().first()->click();
    return true;
  };
}

}  // namespace kv9::test
