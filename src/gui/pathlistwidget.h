#pragma once

#include <QListWidget>

// The list of an output directory: one row, the directory chosen. Without one it is empty and
// shows its hint in grey, as a line edit shows its placeholder.
class PathListWidget : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(QString placeholderText READ placeholderText WRITE setPlaceholderText)

public:
    explicit PathListWidget(QWidget *parent = nullptr);

    QString placeholderText() const { return m_placeholder; }
    void setPlaceholderText(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_placeholder;
};
