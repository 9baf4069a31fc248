#include "ui/product_links.h"

namespace ProductLinks {

QUrl Homepage() {
    return QUrl(QStringLiteral("https://oxbrook.example.com/"));
}

QUrl ProductPage() {
    return QUrl(QStringLiteral("https://oxbrook.example.com/product/"));
}

QUrl FaqPage() {
    return QUrl(QStringLiteral("https://oxbrook.example.com/faq/"));
}

QUrl Support() {
    return QUrl(QStringLiteral("mailto:support@oxbrook.example.com?subject="));
}

} // namespace ProductLinks
