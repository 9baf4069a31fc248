#pragma once
// The bar across the top of the main window: six flat buttons with bold white captions over a
// painted backdrop. It only forwards clicks; the main window's handlers do the work.

#include <QWidget>

class QToolButton;

class TTopBar : public QWidget {
    Q_OBJECT
public:
    // Builds the bar 34 pixels high with "Options", "Feedback", "Homepage", "Help", "About",
    // "Exit".
    explicit TTopBar(QWidget* parent = nullptr);

    // Returns the button with caption `caption`, or nullptr.
    QToolButton* button(const QString& caption) const;

signals:
    void optionsClicked();
    void feedbackClicked();
    void homepageClicked();
    void helpClicked();
    void aboutClicked();
    void exitClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QToolButton* addButton(const QString& caption);
};
