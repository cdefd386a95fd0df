#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace quillon {

// The attached-context chip above the prompt: an icon, the title on one line and a remove button.
// Passive: it shows what it is given and asks to be removed.
class ContextChip : public QWidget
{
    Q_OBJECT
public:
    explicit ContextChip(QWidget* parent = nullptr);

    void setContext(const QString& title, bool isSelection);
    void setDarkMode(bool dark);
    QString title() const;
    QToolButton* removeButton() const { return m_remove; }

Q_SIGNALS:
    void removeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshIcon();

    QLabel* m_icon;
    QLabel* m_title;
    QToolButton* m_remove;
    bool m_isSelection = false;
    bool m_dark = false;
};

} // namespace quillon
