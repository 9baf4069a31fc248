#include "settings/about_form.h"

#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/product_links.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

const char* const TAboutForm::kVersionLine = "Version : 1.3 (Builder 1.311)";

namespace {

QUrl linkUrl(int index) {
    switch (index) {
    case 0:
        return ProductLinks::Homepage();
    case 1:
        return ProductLinks::ProductPage();
    case 2:
        return ProductLinks::FaqPage();
    default:
        return ProductLinks::Support();
    }
}

// The product name in bold 16-pixel type with a copy two pixels to its right behind it, which
// reads as a shadow.
class TShadowTitle : public QWidget {
public:
    explicit TShadowTitle(const QString& text) : text_(text) {
        QFont bold = font();
        bold.setBold(true);
        bold.setPixelSize(16);
        setFont(bold);
        setMinimumHeight(QFontMetrics(bold).height() + 4);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font());
        const int base = QFontMetrics(font()).ascent() + 1;
        painter.setPen(QColor(160, 160, 160));
        painter.drawText(2, base, text_);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(0, base, text_);
    }

private:
    QString text_;
};

} // namespace

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setStyleSheet(QStringLiteral("color: blue;"));
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

QString TAboutForm::VersionHistory() {
    return QStringLiteral(
        "Oxbrook 1.3 ------------------------------------------\n"
        "UPDATE:\n"
        "* Connections through SOCKS 4A servers.\n"
        "* Quick connect remembers every server with its port, user name and passive switch.\n"
        "* Editors chosen by file extension for editing remote files.\n"
        "BUG:\n"
        "* A resumed download no longer starts again from the first byte.\n"
        "* Long folder names are shown whole in the path bar.\n"
        "\n"
        "Oxbrook 1.2 ------------------------------------------\n"
        "UPDATE:\n"
        "* Tasks gather files and folders to upload or download in one run.\n"
        "* Remote folders can be exported as a text tree.\n"
        "BUG:\n"
        "* The keep-alive commands are sent only after the set idle time.\n"
        "\n"
        "Oxbrook 1.0 ------------------------------------------\n"
        "* First release: sites, browsing, transfers with a queue, history.\n"
        "* FTP proxies and SOCKS 4 and 5 servers.\n");
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(tr("About"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* picturePanel = new QFrame;
    picturePanel->setFrameShape(QFrame::Panel);
    picturePanel->setFrameShadow(QFrame::Sunken);
    auto* picture = new QLabel;
    picture->setPixmap(TIcons::Get(TIcon::Site).pixmap(96, 96));
    picture->setAlignment(Qt::AlignCenter);
    auto* pictureLayout = new QVBoxLayout(picturePanel);
    pictureLayout->addWidget(picture);

    auto* info = new QWidget;
    auto* infoLayout = new QVBoxLayout(info);
    infoLayout->addWidget(new TShadowTitle(QStringLiteral("Oxbrook")));
    infoLayout->addWidget(new QLabel(QString::fromLatin1(kVersionLine)));
    auto* grid = new QGridLayout;
    const QString captions[4] = {tr("Homepage"), tr("Product Page"), tr("FAQ Page "),
                                 tr("Bug report and support")};
    for (int i = 0; i < 4; ++i) {
        const QUrl url = linkUrl(i);
        const QString shown = url.scheme() == QLatin1String("mailto") ? url.path() : url.toString();
        links[i] = new TLinkLabel(shown);
        grid->addWidget(new QLabel(captions[i]), i, 0);
        grid->addWidget(links[i], i, 1);
        connect(links[i], &TLinkLabel::clicked, this, [this, i] { onLinkClick(i); });
    }
    infoLayout->addLayout(grid);
    infoLayout->addStretch(1);

    historyMemo = new QPlainTextEdit(VersionHistory());
    historyMemo->setReadOnly(true);
    historyMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    historyMemo->setStyleSheet(QStringLiteral("QPlainTextEdit { background: silver; }"));

    pages = new QTabWidget;
    pages->addTab(info, tr("Info"));
    pages->addTab(historyMemo, tr("Version history"));

    okButton = new QPushButton(tr("&OK"));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* body = new QHBoxLayout;
    body->addWidget(picturePanel);
    body->addWidget(pages, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(QSize(480, 297).expandedTo(sizeHint()));
}

void TAboutForm::onLinkClick(int index) {
    Desktop().OpenUrl(linkUrl(index));
}
