#include "SkinResources.h"

#include "PictureTable.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <mutex>

// Outside the namespace, as the resource initialiser's name demands.
static void InitialiseSkinPictures()
{
    Q_INIT_RESOURCE(skin_pictures);
}

namespace ostrel {

namespace {

void EnsurePictures()
{
    static std::once_flag once;
    std::call_once(once, InitialiseSkinPictures);
}

} // namespace

QPixmap SkinResources::Bitmap(int number)
{
    EnsurePictures();
    QPixmap bitmap;
    bitmap.load(BitmapResourcePath(number), "PNG");
    return bitmap;
}

bool SkinResources::HasBitmap(int number)
{
    EnsurePictures();
    return QFile::exists(BitmapResourcePath(number));
}

QIcon SkinResources::Icon(int number)
{
    EnsurePictures();
    QIcon icon;
    const QDir folder(IconResourceFolder(number));
    for (const QString& file : folder.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(folder.filePath(file));
    return icon;
}

std::optional<QCursor> SkinResources::Cursor(int number)
{
    EnsurePictures();
    const QImage image(CursorResourcePath(number), "PNG");
    if (image.isNull())
        return std::nullopt;
    const QStringList hotSpot = image.text(QLatin1String(kHotSpotKey)).split(QLatin1Char(','));
    const int x = hotSpot.size() == 2 ? hotSpot[0].toInt() : 0;
    const int y = hotSpot.size() == 2 ? hotSpot[1].toInt() : 0;
    return QCursor(QPixmap::fromImage(image), x, y);
}

QString SkinResources::PictureTableText()
{
    EnsurePictures();
    QFile table(QStringLiteral(":/skin/SkinPictures.txt"));
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(table.readAll());
}

} // namespace ostrel
