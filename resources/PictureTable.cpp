#include "PictureTable.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <set>
#include <utility>

namespace ostrel {

namespace {

constexpr std::array<std::pair<PictureRole, const char*>, 13> kRoleNames{{
    {PictureRole::PageNormal, "page-normal"},
    {PictureRole::PagePressed, "page-pressed"},
    {PictureRole::PageHover, "page-hover"},
    {PictureRole::TitleButton, "title-button"},
    {PictureRole::ButtonNormal, "button-normal"},
    {PictureRole::ButtonPressed, "button-pressed"},
    {PictureRole::ButtonDisabled, "button-disabled"},
    {PictureRole::MainWindow, "main-window"},
    {PictureRole::PageBar, "page-bar"},
    {PictureRole::MessageBox, "message-box"},
    {PictureRole::Dialog, "dialog"},
    {PictureRole::Icon, "icon"},
    {PictureRole::Cursor, "cursor"},
}};

std::optional<QSize> ParseSize(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)x(\\d+)$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    return size;
}

}  // namespace

std::optional<PictureRole> RoleFromName(const QString& name)
{
    for (const auto& [role, roleName] : kRoleNames) {
        if (name == QLatin1String(roleName))
            return role;
    }
    return std::nullopt;
}

QString RoleName(PictureRole role)
{
    for (const auto& [candidate, roleName] : kRoleNames) {
        if (candidate == role)
            return QString::fromLatin1(roleName);
    }
    return {};
}

PictureKind KindOf(PictureRole role)
{
    switch (role) {
    case PictureRole::Icon: return PictureKind::Icon;
    case PictureRole::Cursor: return PictureKind::Cursor;
    default: return PictureKind::Bitmap;
    }
}

PictureTableParse PictureTable::Parse(const QString& text)
{
    // Four blank-separated fields, then the caption, which may hold blanks.
    static const QRegularExpression fields(QStringLiteral("^(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(.+)$"));

    PictureTable table;
    std::set<int> seen;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto fail = [&](const QString& what) {
            return PictureTableParse{std::nullopt, QStringLiteral("line %1: %2").arg(index + 1).arg(what)};
        };

        const auto match = fields.match(line);
        if (!match.hasMatch())
            return fail(QStringLiteral("expected number, size, role, variant and caption"));

        PictureRow entry;
        bool isNumber = false;
        entry.number = match.captured(1).toInt(&isNumber);
        if (!isNumber || entry.number <= 0)
            return fail(QStringLiteral("bad number \"%1\"").arg(match.captured(1)));
        if (!seen.insert(entry.number).second)
            return fail(QStringLiteral("number %1 given twice").arg(entry.number));

        const auto size = ParseSize(match.captured(2));
        if (!size)
            return fail(QStringLiteral("bad size \"%1\"").arg(match.captured(2)));
        entry.size = *size;

        const auto role = RoleFromName(match.captured(3));
        if (!role)
            return fail(QStringLiteral("unknown role \"%1\"").arg(match.captured(3)));
        entry.role = *role;

        if (match.captured(4) != QLatin1String("-"))
            entry.variant = match.captured(4);
        const QString caption = match.captured(5).trimmed();
        if (caption != QLatin1String("-"))
            entry.captionLines = caption.split(QLatin1Char('|'));

        table.pictures_.push_back(std::move(entry));
    }
    return PictureTableParse{std::move(table), {}};
}

const PictureRow* PictureTable::Find(int number) const
{
    const auto it = std::find_if(pictures_.begin(), pictures_.end(),
                                 [number](const PictureRow& entry) { return entry.number == number; });
    return it == pictures_.end() ? nullptr : &*it;
}

std::vector<int> IconSizesUpTo(int largest)
{
    std::vector<int> sizes;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        if (size <= largest)
            sizes.push_back(size);
    }
    return sizes;
}

QString BitmapResourcePath(int number)
{
    return QStringLiteral(":/skin/bitmap/%1.png").arg(number);
}

QString BitmapResourcePath2x(int number)
{
    // The "@2x" suffix tells Qt's image reader the pixel ratio.
    return QStringLiteral(":/skin/bitmap/%1@2x.png").arg(number);
}

QString CursorResourcePath(int number)
{
    return QStringLiteral(":/skin/cursor/%1.png").arg(number);
}

QString IconResourceFolder(int number)
{
    return QStringLiteral(":/skin/icon/%1").arg(number);
}

QString IconResourcePath(int number, int size)
{
    return QStringLiteral("%1/%2.png").arg(IconResourceFolder(number)).arg(size);
}

}  // namespace ostrel
