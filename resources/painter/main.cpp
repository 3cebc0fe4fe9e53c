// skin-painter: draws every picture of the skin table into a folder and
// writes the Qt resource list that embeds them by number.
//   skin-painter <table> <output folder>
#include "PicturePainter.h"
#include "PictureTable.h"
#include "SkinLook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "skin-painter: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return Fail(QStringLiteral("usage: skin-painter <table> <output folder>"));

    QFile tableFile(arguments[1]);
    if (!tableFile.open(QIODevice::ReadOnly | QIODevice::Text))
        return Fail(QStringLiteral("cannot read %1").arg(arguments[1]));
    const QString tableText = QString::fromUtf8(tableFile.readAll());
    const auto parsed = ostrel::PictureTable::Parse(tableText);
    if (!parsed.table)
        return Fail(QStringLiteral("%1: %2").arg(arguments[1], parsed.error));

    const QDir out(arguments[2]);
    for (const char* folder : {"bitmap", "icon", "cursor"}) {
        if (!out.mkpath(QString::fromLatin1(folder)))
            return Fail(QStringLiteral("cannot create %1").arg(out.filePath(QString::fromLatin1(folder))));
    }

    const ostrel::PicturePainter painter{ostrel::SkinLook{}};
    const ostrel::PicturePainter painter2x{ostrel::SkinLook{}, 2};
    QStringList entries;
    const auto save = [&](const QImage& image, const QString& resourcePath) {
        // Resource paths start with ":/skin/"; the files mirror them.
        const QString relative = resourcePath.mid(QStringLiteral(":/skin/").size());
        if (!out.mkpath(QFileInfo(relative).path()) || !image.save(out.filePath(relative), "PNG"))
            return false;
        entries << QStringLiteral("    <file alias=\"%1\">%1</file>").arg(relative);
        return true;
    };

    for (const ostrel::PictureRow& row : parsed.table->Pictures()) {
        const ostrel::PaintedPicture picture = painter.Paint(row);
        bool saved = !picture.images.empty();
        switch (ostrel::KindOf(row.role)) {
        case ostrel::PictureKind::Bitmap:
            saved = saved && save(picture.images.front(), ostrel::BitmapResourcePath(row.number)) &&
                    save(painter2x.Paint(row).images.front(), ostrel::BitmapResourcePath2x(row.number));
            break;
        case ostrel::PictureKind::Cursor:
            saved = saved && save(picture.images.front(), ostrel::CursorResourcePath(row.number));
            break;
        case ostrel::PictureKind::Icon:
            for (const QImage& image : picture.images)
                saved = saved && save(image, ostrel::IconResourcePath(row.number, image.width()));
            break;
        }
        if (!saved)
            return Fail(QStringLiteral("cannot write picture %1").arg(row.number));
    }

    // The table travels with the pictures, so programs can list them.
    QSaveFile tableCopy(out.filePath(QStringLiteral("SkinPictures.txt")));
    if (!tableCopy.open(QIODevice::WriteOnly) || tableCopy.write(tableText.toUtf8()) < 0 || !tableCopy.commit())
        return Fail(QStringLiteral("cannot write the table copy"));
    entries << QStringLiteral("    <file alias=\"SkinPictures.txt\">SkinPictures.txt</file>");

    QSaveFile list(out.filePath(QStringLiteral("skin-pictures.qrc")));
    if (!list.open(QIODevice::WriteOnly | QIODevice::Text))
        return Fail(QStringLiteral("cannot write the resource list"));
    QTextStream stream(&list);
    stream << "<RCC>\n  <qresource prefix=\"/skin\">\n"
           << entries.join(QLatin1Char('\n')) << "\n  </qresource>\n</RCC>\n";
    stream.flush();
    if (!list.commit())
        return Fail(QStringLiteral("cannot write the resource list"));
    return 0;
}
