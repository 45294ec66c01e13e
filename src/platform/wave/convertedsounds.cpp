#include "platform/wave/convertedsounds.h"

#include <QList>

namespace {
constexpr int kSounds = 4;
constexpr qsizetype kLargestSound = 4 * 1024 * 1024;  // longer recordings are not kept

struct TSound {
    WAVEFORMATEX From;
    WAVEFORMATEX To;
    QByteArray Source;
    QByteArray Converted;
};

// Most recently played first.
QList<TSound>& Sounds() {
    static QList<TSound> sounds;
    return sounds;
}
}  // namespace

QByteArray TConvertedSounds::Find(const WAVEFORMATEX& from, const WAVEFORMATEX& to,
                                  const QByteArray& source) {
    QList<TSound>& sounds = Sounds();
    for (qsizetype i = 0; i < sounds.size(); ++i) {
        const TSound& sound = sounds[i];
        if (sound.From == from && sound.To == to && sound.Source == source) {
            sounds.move(i, 0);
            return sounds.first().Converted;
        }
    }
    return {};
}

void TConvertedSounds::Keep(const WAVEFORMATEX& from, const WAVEFORMATEX& to,
                            const QByteArray& source, const QByteArray& converted) {
    if (source.size() > kLargestSound || converted.isEmpty()) return;
    QList<TSound>& sounds = Sounds();
    // The source may be borrowed from its player, which frees it: this copy is the cache's own.
    sounds.prepend({from, to, QByteArray(source.constData(), source.size()), converted});
    while (sounds.size() > kSounds)
        sounds.removeLast();
}

void TConvertedSounds::Clear() {
    Sounds().clear();
}
