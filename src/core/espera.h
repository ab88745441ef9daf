#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// The wait window shown during long operations: a fixed heading, a message line and a
// progress bar that the caller advances.
class Espera : public QDialog
{
    Q_OBJECT
public:
    explicit Espera(QWidget *parent = nullptr);

    QLabel *Label1;
    QLabel *Label2;
    QProgressBar *ProgressBar1;
};
