#include "ui/CuePlayer.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace corvane {

CuePlayer::CuePlayer(QObject* parent) : QObject(parent) {}

void CuePlayer::PlayCue(const QString& wavFile)
{
    // The audio system is asked when the first cue is played, not at every start.
    if (!m_outputChecked) {
        m_outputChecked = true;
        m_hasOutput = !QMediaDevices::audioOutputs().isEmpty();
    }
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
