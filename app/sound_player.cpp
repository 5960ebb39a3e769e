#include "app/sound_player.h"

#include <QDir>
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QUrl>

SoundPlayer::SoundPlayer(QObject* parent) : QObject(parent) {}

SoundPlayer::~SoundPlayer() = default;

void SoundPlayer::Play(const QByteArray& wave) {
  ++plays_;
  if (wave.isEmpty()) return;
  // The sound effect plays files, not memory: the image goes to a private
  // temporary file first (a few kilobytes).
  auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/kv9-sound-XXXXXX.wav"));
  if (!file->open() || file->write(wave) != wave.size()) return;
  file->flush();
  if (effect_) effect_->stop();
  delete effect_;
  effect_ = new QSoundEffect(this);
  effect_->setSource(QUrl::fromLocalFile(file->fileName()));
  effect_->play();  // asynchronous; without an audio device it simply stays silent
  file_ = std::move(file);
}
