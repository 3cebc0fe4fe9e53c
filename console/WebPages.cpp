#include "WebPages.h"

#include "ConsoleConfig.h"

#include <QDesktopServices>

namespace ostrel {

QUrl AddressOf(WebPage page)
{
    switch (page) {
    case WebPage::Product: return QUrl(QStringLiteral(OSTREL_PRODUCT_PAGE));
    case WebPage::Company: return QUrl(QStringLiteral(OSTREL_COMPANY_PAGE));
    case WebPage::Support: return QUrl(QStringLiteral(OSTREL_SUPPORT_PAGE));
    case WebPage::TellAFriend: return QUrl(QStringLiteral(OSTREL_TELL_A_FRIEND_PAGE));
    }
    return {};
}

bool OpenWebPage(WebPage page)
{
    return QDesktopServices::openUrl(AddressOf(page));
}

}  // namespace ostrel
