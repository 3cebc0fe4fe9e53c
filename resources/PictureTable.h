#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace ostrel {

// What a picture of the skin is; decides how the painter draws it and
// under which resource path it is found.
enum class PictureRole {
    PageNormal,
    PagePressed,
    PageHover,
    TitleButton,
    ButtonNormal,
    ButtonPressed,
    ButtonDisabled,
    MainWindow,
    PageBar,
    MessageBox,
    Dialog,
    Icon,
    Cursor,
};

enum class PictureKind { Bitmap, Icon, Cursor };

// One row of the picture table.
struct PictureRow {
    int number = 0;
    QSize size;
    PictureRole role = PictureRole::ButtonNormal;
    QString variant;           // empty for "-"
    QStringList captionLines;  // empty for "-"

    // The caption as one line of text, as a button's name and tooltip
    // read it; empty when there is none.
    QString Caption() const { return captionLines.join(QLatin1Char(' ')); }
};

// The table of the skin's pictures (resources/SkinPictures.txt): every
// picture the windows ask for by number, with its size, role, variant and
// caption. Shared by the painter that draws them and by the tests that
// check what was drawn.
struct PictureTableParse;

class PictureTable {
public:
    // Reads the table's text. Blank lines and lines starting with '#' are
    // skipped. Fails on a malformed row, an unknown role, a size that is not
    // positive, or a number given twice.
    static PictureTableParse Parse(const QString& text);

    const std::vector<PictureRow>& Pictures() const { return pictures_; }
    const PictureRow* Find(int number) const;

private:
    std::vector<PictureRow> pictures_;
};

struct PictureTableParse {
    std::optional<PictureTable> table;
    QString error;  // "line N: what is wrong" when there is no table
};

PictureKind KindOf(PictureRole role);
std::optional<PictureRole> RoleFromName(const QString& name);
QString RoleName(PictureRole role);

// Backgrounds cut out by the colour key carry this variant.
inline constexpr const char* kShapedVariant = "shaped";

// Icons are drawn at each of these sizes up to the size in the table.
std::vector<int> IconSizesUpTo(int largest);

// Where the pictures live among the Qt resources, by number.
QString BitmapResourcePath(int number);
// The same bitmap drawn at twice its size, for a pixel ratio of 2.
QString BitmapResourcePath2x(int number);
QString CursorResourcePath(int number);
QString IconResourcePath(int number, int size);
// The folder holding every size of an icon.
QString IconResourceFolder(int number);

// The text key of a cursor picture that holds its hot spot as "x,y".
inline constexpr const char* kHotSpotKey = "HotSpot";

}  // namespace ostrel
