#include "app/top_bar.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QToolButton>

TTopBar::TTopBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("topBar"));
    setFixedHeight(34);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(2);
    connect(addButton(tr("Options")), &QToolButton::clicked, this, &TTopBar::optionsClicked);
    connect(addButton(tr("Feedback")), &QToolButton::clicked, this, &TTopBar::feedbackClicked);
    connect(addButton(tr("Homepage")), &QToolButton::clicked, this, &TTopBar::homepageClicked);
    connect(addButton(tr("Help")), &QToolButton::clicked, this, &TTopBar::helpClicked);
    connect(addButton(tr("About")), &QToolButton::clicked, this, &TTopBar::aboutClicked);
    connect(addButton(tr("Exit")), &QToolButton::clicked, this, &TTopBar::exitClicked);
    layout->addStretch(1);
}

QToolButton* TTopBar::addButton(const QString& caption) {
    auto* button = new QToolButton(this);
    button->setText(caption);
    button->setObjectName(caption);
    button->setAutoRaise(true);
    // Flat bar buttons act on a click and never hold the keyboard focus.
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QToolButton { color: white; font-weight: bold; "
                       "padding: 4px 10px; border: none; }"
                       "QToolButton:hover { background: rgba(255,255,255,40); }"));
    static_cast<QHBoxLayout*>(layout())->addWidget(button);
    return button;
}

QToolButton* TTopBar::button(const QString& caption) const {
    return findChild<QToolButton*>(caption, Qt::FindDirectChildrenOnly);
}

void TTopBar::paintEvent(QPaintEvent*) {
    // The backdrop is drawn rather than shipped as a picture, so it stretches cleanly to any width.
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor(52, 96, 168));
    gradient.setColorAt(0.55, QColor(28, 62, 128));
    gradient.setColorAt(1.0, QColor(18, 42, 96));
    painter.fillRect(rect(), gradient);
    painter.setPen(QColor(110, 150, 220));
    painter.drawLine(0, 0, width(), 0);
}
