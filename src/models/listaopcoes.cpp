#include "models/listaopcoes.h"

#include "core/connection.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QSqlRecord>

bool preencheOpcoes(DataCombo *combo, QSqlDatabase db, int tipoMenu, QString *erro)
{
    if (!combo->setRowSource(db, QStringLiteral("SELECT * FROM menusmod where tipomenu=?"), { tipoMenu },
            QStringLiteral("designacao"), QStringLiteral("codigo"), erro))
        return false;
    combo->setText(combo->rowCount() > 0 ? combo->row(0).value(QStringLiteral("designacao")).toString() : QString());
    return true;
}

bool codigoDaOpcao(const DataCombo *combo, int *codigo, int *linha)
{
    const int r = combo->findRow(combo->text());
    if (r < 0)
        return false;
    *codigo = combo->row(r).value(QStringLiteral("codigo")).toInt();
    if (linha)
        *linha = r;
    return true;
}

bool preencheModelos(DataCombo *combo, Session &s)
{
    QString erro;
    QSqlDatabase db = abreLigacao(s.gLigacao1, &erro);
    if (!db.isValid()
        || !combo->setRowSource(
            db, QStringLiteral("SELECT * FROM modexptxt "), {}, QStringLiteral("modelo"), QStringLiteral("activo"), &erro)) {
        s.msg->erroBaseDados(QStringLiteral("Não foi possível ler os modelos."), erro);
        return false;
    }
    return true;
}
