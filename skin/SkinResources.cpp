#include "SkinResources.h"

#include "PictureTable.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

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

const PictureTable& EmbeddedTable()
{
    static const PictureTable table =
        PictureTable::Parse(SkinResources::PictureTableText()).table.value_or(PictureTable());
    return table;
}

}  // namespace

QPixmap SkinResources::Bitmap(int number)
{
    return Bitmap(number, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

QPixmap SkinResources::Bitmap(int number, qreal ratio)
{
    EnsurePictures();
    QPixmap bitmap;
    if (ratio > 1.0 && bitmap.load(BitmapResourcePath2x(number), "PNG")) {
        bitmap.setDevicePixelRatio(2.0);
        return bitmap;
    }
    bitmap.load(BitmapResourcePath(number), "PNG");
    return bitmap;
}

QString SkinResources::Caption(int number)
{
    const PictureRow* row = EmbeddedTable().Find(number);
    return row ? row->Caption() : QString();
}

void SkinResources::DrawAtTopLeft(QPainter& painter, const QPixmap& picture, QSize area)
{
    const qreal ratio = picture.devicePixelRatio();
    const QRectF source = QRectF(QPointF(0, 0), QSizeF(area) * ratio) & QRectF(picture.rect());
    painter.drawPixmap(QPointF(0, 0), picture, source);
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

}  // namespace ostrel
