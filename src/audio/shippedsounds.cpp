#include "audio/shippedsounds.h"

#include <QDir>
#include <QFile>

#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "platform/tfile.h"

static void InitSounds() {
    Q_INIT_RESOURCE(sounds);
}

QStringList ShippedSoundNames() {
    InitSounds();
    QStringList names;
    for (const QString& folder : QDir(QStringLiteral(":/sounds")).entryList(QDir::Dirs))
        for (const QString& file :
             QDir(QStringLiteral(":/sounds/") + folder).entryList(QDir::Files))
            names << folder + QLatin1Char('/') + file;
    return names;
}

QStringList InstallShippedSounds() {
    QStringList copied;
    TFile file;
    for (const QString& name : ShippedSoundNames()) {
        const QString target = TProfile::Path(name);
        if (QFile::exists(target)) continue;
        file.MakeDirectory(TProfile::Path(name.section(QLatin1Char('/'), 0, 0)));
        QFile shipped(QStringLiteral(":/sounds/") + name);
        if (shipped.open(QIODevice::ReadOnly) && RewriteFile(target, shipped.readAll()))
            copied << name;
    }
    return copied;
}
