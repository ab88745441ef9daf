#pragma once

#include <QDialog>

struct Session;

// Coding of the line layout of one model item (an item of code other than 0): up to 24
// fields, edited one at a time and written into the item's row of modexptxtdet.
class Cod_det : public QDialog
{
    Q_OBJECT
public:
    explicit Cod_det(Session &s, QWidget *parent = nullptr);
    ~Cod_det() override;

private:
    Session &m_s;
};
