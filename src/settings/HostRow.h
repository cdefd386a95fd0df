#pragma once

#include <QWidget>

class QPushButton;

namespace quillon {

// One saved git host: its name, a fixed mask in place of the token, and Edit and Delete.
// Passive: the tab decides what the buttons do.
class HostRow : public QWidget
{
    Q_OBJECT
public:
    HostRow(const QString& host, bool dark, QWidget* parent = nullptr);

    QString host() const { return m_host; }
    QPushButton* editButton() const { return m_edit; }
    QPushButton* deleteButton() const { return m_delete; }
    void setDarkMode(bool dark);

Q_SIGNALS:
    void editRequested(const QString& host);
    void deleteRequested(const QString& host);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_host;
    bool m_dark;
    QPushButton* m_edit;
    QPushButton* m_delete;
};

} // namespace quillon
