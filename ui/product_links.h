#pragma once
// The product's own addresses: the web pages and the support mail address that the top bar and
// the about box open through the desktop service.

#include <QUrl>

namespace ProductLinks {
QUrl Homepage();
QUrl ProductPage();
QUrl FaqPage();
// A new mail to the support address with an empty subject.
QUrl Support();
} // namespace ProductLinks
