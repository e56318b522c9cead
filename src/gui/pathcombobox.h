#pragma once

#include <QComboBox>

// A drop-down of paths. A path is longer than the box, and its end (the file name) is what tells
// one entry from another: the box shows the end and leaves out the beginning, and the whole path
// is its tooltip and that of each entry in the list.
class PathComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit PathComboBox(QWidget *parent = nullptr);

    // The current path as the box shows it: shortened at its start when it does not fit.
    QString displayText() const;

protected:
    void initStyleOption(QStyleOptionComboBox *option) const override;
};
