#pragma once

#include <QHash>
#include <QObject>

class QSoundEffect;

namespace corvane {

// Plays the scan's short sound cues without waiting for them. A machine without an audio output
// plays nothing and reports nothing.
class CuePlayer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CuePlayer)

public:
    explicit CuePlayer(QObject* parent = nullptr);

    void PlayCue(const QString& wavFile);

private:
    QHash<QString, QSoundEffect*> m_effects;
    bool m_outputChecked = false;
    bool m_hasOutput = false;
};

} // namespace corvane
