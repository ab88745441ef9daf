#pragma once

#include <QList>
#include <QString>
#include <QStringView>

class DataCombo;
class Mensagens;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls made with the object name that tests and the forms' descriptions use.
// A label given the control it names passes its mnemonic to it.
QLabel *rotulo(QWidget *pai, const char *nome, const QString &texto, QWidget *controlo = nullptr);
QLineEdit *caixa(QWidget *pai, const char *nome, int maximo, const QString &texto = QString());
// A password box. It sets no length of its own, so nothing typed or pasted is cut (Qt's
// 32767 UTF-16 units lie far past any password): the one limit of every password box,
// kSenhaMaxima, is checked when the password is used, and said.
QLineEdit *caixaSenha(QWidget *pai, const char *nome);
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

// The first control character (U+0000 to U+001F, U+007F to U+009F) of texto that permitidos
// does not list, or -1. None of them means anything in a box of one line, and none may reach
// a statement: PostgreSQL cannot hold NUL in a text, and SQLite's LIKE stops at it.
qsizetype caracterDeControlo(QStringView texto, QStringView permitidos = {});

// What the user typed in one box or list, named as the window names it.
struct CampoEscrito {
    QString nome;
    QString texto;
    QWidget *controlo = nullptr;
    QString permitidos = {}; // control characters this box may hold
};
// True when no field holds a control character. Otherwise names the first field that holds
// one, puts the focus there and returns false: the caller then runs no statement.
bool semCaracteresDeControlo(Mensagens *msg, const QList<CampoEscrito> &campos);
