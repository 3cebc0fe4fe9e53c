#pragma once

#include <QUrl>

namespace ostrel {

// The maker's four web pages. Their addresses are set when Ostrel is built.
enum class WebPage { Product, Company, Support, TellAFriend };

QUrl AddressOf(WebPage page);

// Opens the page in the desktop's web browser; false when no handler took it.
bool OpenWebPage(WebPage page);

}  // namespace ostrel
