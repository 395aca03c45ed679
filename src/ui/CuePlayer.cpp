#include "ui/CuePlayer.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace corvane {

CuePlayer::CuePlayer(QObject* parent)
    : QObject(parent), m_hasOutput(!QMediaDevices::audioOutputs().isEmpty())
{
}

void CuePlayer::PlayCue(const QString& wavFile)
{
    if (!m_hasOutput || !QFileInfo(wavFile).isFile())
        return;
    QSoundEffect*& effect = m_effects[wavFile];
    if (effect == nullptr) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(wavFile));
    }
    // A cue still playing is started again from its beginning.
    effect->stop();
    effect->play();
}

} // namespace corvane
