#include "app/application.h"

#include "testing/widget_test_support.h"

#include <QMouseEvent>
#include <QPushButton>
#include <stdexcept>

namespace {

// A widget whose event handling fails, as a command without its own error handling would.
class FailingWidget : public QWidget {
public:
    int reached = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++reached;
            throw std::runtime_error("command failed");
        }
        return QWidget::event(e);
    }
};

TEST(ApplicationTest, TitleIsTheProductName) {
    EXPECT_EQ(TestApplication().applicationDisplayName(), "Oxbrook FREE Edition");
}

TEST(ApplicationTest, AnErrorReachingTheEventLoopIsSwallowedAndTheProgramCarriesOn) {
    TApplication& app = TestApplication();
    const int before = app.swallowedCount();
    FailingWidget widget;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&widget, &event));
    EXPECT_EQ(widget.reached, 1);
    EXPECT_EQ(app.swallowedCount(), before + 1);

    // A failing slot behind a button click stops there too, and the next click runs again.
    QPushButton button;
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] {
        ++clicks;
        throw std::runtime_error("slot failed");
    });
    QEvent::Type types[] = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
    for (int round = 0; round < 2; ++round) {
        for (QEvent::Type type : types) {
            QMouseEvent mouse(type, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            button.resize(20, 20);
            QCoreApplication::sendEvent(&button, &mouse);
        }
    }
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(app.swallowedCount(), before + 3);
}

} // namespace
