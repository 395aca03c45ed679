#include "ui/Artwork.h"

static void initArtworkResources()
{
    Q_INIT_RESOURCE(artwork);
}

namespace corvane::Artwork {

QIcon programIcon()
{
    initArtworkResources();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/artwork/corvane-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap splashPicture()
{
    initArtworkResources();
    return QPixmap(QStringLiteral(":/artwork/splash.png"));
}

} // namespace corvane::Artwork
