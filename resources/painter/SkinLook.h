#pragma once

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

namespace ostrel {

// The colours, corner radii and fonts of the whole skin. Changing the look
// of the console means changing these values (and, for new shapes, the
// drawing in PicturePainter), then rebuilding: every picture is redrawn.
struct SkinLook {
    // Exactly the colour the shaped windows treat as "no window here".
    QColor colourKey{229, 27, 255};

    QColor ink{0x23, 0x2F, 0x3E};        // captions on light surfaces
    QColor muted{0x5D, 0x69, 0x7A};      // glyphs and secondary text
    QColor card{0xF3, 0xF5, 0xF9};       // face of the windows
    QColor panel{0xFF, 0xFF, 0xFF};      // the page area
    QColor sidebar{0xE6, 0xEB, 0xF3};    // the page bar
    QColor line{0xD8, 0xDF, 0xE9};       // separators and panel borders
    QColor outline{0xAE, 0xBA, 0xCC};    // outer edge of the windows
    QColor hoverTint{0xD9, 0xE5, 0xFA};  // page button under the mouse

    QColor accent{0x2F, 0x6F, 0xDE};
    QColor accentDeep{0x23, 0x57, 0xB8};
    QColor accentSecond{0x1F, 0xA2, 0xA6};  // far end of the top band
    QColor success{0x23, 0x9B, 0x5E};
    QColor successDeep{0x1A, 0x7A, 0x49};
    QColor danger{0xD9, 0x4A, 0x43};
    QColor dangerDeep{0xB0, 0x36, 0x31};
    QColor neutralTop{0xFF, 0xFF, 0xFF};
    QColor neutralBottom{0xEC, 0xEF, 0xF4};
    QColor neutralEdge{0xB4, 0xBF, 0xCF};
    QColor idle{0x8C, 0x96, 0xA5};

    int windowRadius = 16;
    int panelRadius = 10;
    int buttonRadius = 5;
    int buttonArtHeight = 26;
    int topBand = 5;
    // The message box's window (244 by 100 dialog units): its picture is
    // made a little larger, so its frame is drawn at the window's edges.
    QSize messageBoxWindow{366, 163};

    QString family = QStringLiteral("DejaVu Sans");

    QFont CaptionFont(int pixelSize, QFont::Weight weight = QFont::Bold) const
    {
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setWeight(weight);
        // The same narrowing as the dialogs' font, so captions match the
        // text the windows draw themselves.
        font.setStretch(88);
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    }
};

}  // namespace ostrel
