#include "support/fixtures.h"

#include "core/connection.h"

#include <QDebug>
#include <QFile>
#include <QSqlQuery>

#include <minizip/unzip.h>

bool corre(QSqlDatabase db, const QString &sql, const QVariantList &params)
{
    QSqlQuery q(db);
    QString e;
    if (!executa(q, sql, params, &e)) {
        qWarning().noquote() << "SQL falhou:" << sql << "-" << e;
        return false;
    }
    return true;
}

int conta(QSqlDatabase db, const QString &sql, const QVariantList &params)
{
    QString e;
    const QVariant v = valorUnico(db, sql, params, &e);
    if (!v.isValid()) {
        qWarning().noquote() << "SQL falhou:" << sql << "-" << e;
        return -1;
    }
    return v.toInt();
}

bool criaFirma(QSqlDatabase db, const QString &codigo, const QString &nome, const ParamsFirma &p)
{
    return corre(db,
        QStringLiteral("INSERT INTO ParamFirma (CodFirma, Designacao, Analitica, Planos_Ext, EmpCtb, Ana_Ext, Tipo_Lig, SNC) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        { codigo, nome, p.analitica, p.planosExt ? 1 : 0, p.empCtb, p.anaExt ? 1 : 0, p.tipoLig, p.snc ? 1 : 0 });
}

bool criaConta(QSqlDatabase db, const QString &firma, int ano, const QString &conta, const QString &designacao, bool lancadora)
{
    return corre(db,
        QStringLiteral("INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES (?, ?, ?, ?, ?)"),
        { firma, QString::number(ano), conta, lancadora ? 1 : 0, designacao });
}

bool criaCCusto(QSqlDatabase db, const QString &firma, int ano, const QString &ccusto, const QString &designacao, bool lancador)
{
    return corre(db,
        QStringLiteral("INSERT INTO PlanoCCusto (CodFirma, CodExercicio, CCusto, Lancador, Designacao) VALUES (?, ?, ?, ?, ?)"),
        { firma, QString::number(ano), ccusto, lancador ? 1 : 0, designacao });
}

bool criaMolvaralizacao(QSqlDatabase db, const Molvaralizacao &m)
{
    if (m.meses < 1)
        return false;
    const Centimos mensal = static_cast<Centimos>(std::llround(static_cast<double>(m.total) / m.meses));
    int ano = m.ano, mes = m.mes;
    for (int i = 0; i < m.meses; ++i) {
        const Centimos valor = i == m.meses - 1 ? m.total - mensal * (m.meses - 1) : mensal;
        if (!corre(db,
                QStringLiteral(
                    "INSERT INTO Molvar (Ref, CodFirma, Descr, Ndoc, Mes, Ano, Valor, Valor_Ori, Moeda, CPocDeb, CPocCre, "
                    "Analitica, TTCTB) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 'EUR', ?, ?, ?, ?)"),
                { m.ref, m.firma, m.descr, m.ndoc, mes, ano, centimosParaDecimal(valor), centimosParaDecimal(m.total), m.deb,
                    m.cre, m.analitica, m.ttctb.isNull() ? QVariant() : QVariant(m.ttctb) }))
            return false;
        if (++mes > 12) {
            mes = 1;
            ++ano;
        }
    }
    return true;
}

bool leParteZip(const QString &caminho, const QString &entrada, QByteArray *bytes)
{
    unzFile z = unzOpen64(QFile::encodeName(caminho).constData());
    if (!z)
        return false;
    bool ok = unzLocateFile(z, entrada.toUtf8().constData(), 1) == UNZ_OK && unzOpenCurrentFile(z) == UNZ_OK;
    bytes->clear();
    if (ok) {
        char buf[16384];
        int n = 0;
        while ((n = unzReadCurrentFile(z, buf, sizeof buf)) > 0)
            bytes->append(buf, n);
        ok = unzCloseCurrentFile(z) == UNZ_OK && n == 0;
    }
    unzClose(z);
    return ok;
}
