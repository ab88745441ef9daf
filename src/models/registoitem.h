#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

// The row of one coded item of a model in modexptxtdet (key modelo, tipocod), held in memory:
// read whole, changed column by column, written back in one statement.
struct Session;

class RegistoItem
{
public:
    // Reads the row of the model and item; false (with the database's text) on failure.
    bool le(QSqlDatabase db, const QString &modelo, qint16 tipocod, QString *erro = nullptr);
    bool existe() const { return m_existe; }
    // Inserts the row with only its key, as the coding windows do for an item not yet coded.
    bool cria(QSqlDatabase db, QString *erro = nullptr);

    // A column's value (column names compare without case: PostgreSQL folds them).
    QVariant valor(const QString &coluna) const;
    bool nulo(const QString &coluna) const { return valor(coluna).isNull(); }
    // Assigns a column in memory; nothing reaches the database until grava().
    void atribui(const QString &coluna, const QVariant &v);
    // Forgets the assignments of a save that failed, before the next one.
    void limpaAtribuicoes() { m_atribuidas.clear(); }

    // One UPDATE of the assigned columns; an INSERT of the key and those columns when the row
    // has meanwhile disappeared. Both in one transaction, so nothing is half-written.
    bool grava(QSqlDatabase db, QString *erro = nullptr);

    // Says why cria() or grava() failed: the model gone, or `falha` with the database's text.
    void dizFalha(Session &s, const QString &falha, const QString &erro) const;

    static bool apaga(QSqlDatabase db, const QString &modelo, qint16 tipocod, QString *erro = nullptr);
    // Deletes the row of the session's model and item (s.gModelo, s.gItemCodigo); on failure
    // says so, naming what was being annulled, and returns false.
    static bool anula(Session &s, const QString &oQue);

private:
    // Inside the write's transaction; on PostgreSQL the header is locked until the commit, so
    // that a deletion of the model waits for the item and then takes it too.
    bool modeloDefinido(QSqlDatabase db, QString *erro);

    QString m_modelo;
    // The last cria() or grava() wrote nothing: the item's model has no header (deleted meanwhile).
    bool m_semModelo = false;
    qint16 m_tipocod = 0;
    bool m_existe = false;
    QHash<QString, QVariant> m_valores; // by lower-case column name
    QStringList m_atribuidas; // in the order of assignment
};

// A text value that is stored as text even when empty (a null QString is bound as NULL).
QVariant textoGravavel(const QString &t);

// A stored value as a 16-bit integer: Null or non-numeric 0, beyond the range the nearest bound.
qint16 inteiro16(const QVariant &v);

// The number a user typed into a text box: the leading numeric part of the text (an empty or
// non-numeric text gives 0), rounded to the nearest integer with halves to even; a value
// beyond 16 bits becomes the nearest bound, which every range check then refuses.
qint16 numeroDigitado(const QString &texto);
