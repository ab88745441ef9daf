#pragma once

#include <QList>
#include <QString>

class DataCombo;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls made with the object name that tests and the forms' descriptions use.
// A label given the control it names passes its mnemonic to it.
QLabel *rotulo(QWidget *pai, const char *nome, const QString &texto, QWidget *controlo = nullptr);
QLineEdit *caixa(QWidget *pai, const char *nome, int maximo, const QString &texto = QString());
DataCombo *listaDados(QWidget *pai, const char *nome);
// A button that acts on a click only: Enter typed in a box never presses it.
QPushButton *botao(QWidget *pai, const char *nome, const QString &texto);
// The width that n letters of w's font take (its average letter, see letraMedia).
int larguraDeLetras(const QWidget *w, int letras);
// Makes box e wide enough to show as many letters as it may hold (its maxLength).
void mostraCampoInteiro(QLineEdit *e);
// A row of buttons at the right of a form.
QHBoxLayout *linhaDeBotoes(const QList<QWidget *> &botoes);
// Inside the main window, the child window that holds w takes the top-left corner of the
// window area the first time w is shown (outside it, nothing happens).
void colocaNoCantoAoMostrar(QWidget *w);
