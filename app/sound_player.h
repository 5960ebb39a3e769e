#pragma once
// Plays a WAVE image held in memory without waiting for its end. A machine
// without an audio device plays nothing and loses no time over it.
#include <QByteArray>
#include <QObject>
#include <memory>

class QSoundEffect;
class QTemporaryFile;

class SoundPlayer : public QObject {
 public:
  explicit SoundPlayer(QObject* parent = nullptr);
  ~SoundPlayer() override;
  // Starts playing `wave` (a whole RIFF/WAVE file); returns at once.
  void Play(const QByteArray& wave);
  // How many sounds were asked for (tests read it; the audio itself is not observable).
  int PlayCount() const { return plays_; }

 private:
  std::unique_ptr<QTemporaryFile> file_;
  QSoundEffect* effect_ = nullptr;
  int plays_ = 0;
};
