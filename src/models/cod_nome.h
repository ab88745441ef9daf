#pragma once

#include <QDialog>

struct Session;

// Coding of the output file's name and extension of a model (the item of code 0): edits the
// model's name row of modexptxtdet. Reads gModelo, gItemCodigo and gItemNome of the session.
class Cod_nome : public QDialog
{
    Q_OBJECT
public:
    explicit Cod_nome(Session &s, QWidget *parent = nullptr);
    ~Cod_nome() override;

private:
    Session &m_s;
};
