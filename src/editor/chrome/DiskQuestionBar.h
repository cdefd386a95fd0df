#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillon {

// The question about another program's change to the shown document, asked in a bar over the
// editors rather than in a modal box: the user types on while it shows, no key answers it (it
// never takes the keyboard focus and has no default button), and only a click on one of its
// three choices does.
//
// Reads: the question's two texts (setQuestion). Writes nothing; a click is an intent signal.
class DiskQuestionBar : public QWidget
{
    Q_OBJECT
public:
    explicit DiskQuestionBar(QWidget* parent = nullptr);

    void setQuestion(const QString& message, const QString& informativeText);
    void setDarkMode(bool dark);

    QLabel* messageLabel() const { return m_message; }
    QLabel* informativeLabel() const { return m_informative; }
    QPushButton* keepMineButton() const { return m_keepMine; }
    QPushButton* loadDiskButton() const { return m_loadDisk; }
    QPushButton* laterButton() const { return m_later; }

Q_SIGNALS:
    void keepMineChosen();
    void loadDiskChosen();
    void laterChosen();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateColors();

    bool m_isDarkMode = false;
    QLabel* m_message = nullptr;
    QLabel* m_informative = nullptr;
    QPushButton* m_keepMine = nullptr;
    QPushButton* m_loadDisk = nullptr;
    QPushButton* m_later = nullptr;
};

} // namespace quillon
