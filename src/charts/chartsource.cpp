#include "charts/chartsource.h"

#include "core/connection.h"
#include "core/session.h"

namespace {
QList<ColunaGrelha> layoutProprio(TipoPlano tipo)
{
    // The cost-centre code column is captioned "Conta" too.
    return { { QStringLiteral("CodFirma"), 1000 }, { QStringLiteral("CodExercicio"), 1000 }, { QStringLiteral("Conta"), 2000 },
        { tipo == TipoPlano::Contas ? QStringLiteral("Lançadora") : QStringLiteral("Lançador"), 1000 },
        { QStringLiteral("Descrição"), 5000 } };
}

void preencheProprio(FontePlano &f, const QString &firma, qint16 ano)
{
    const bool contas = f.tipo == TipoPlano::Contas;
    f.tabela = contas ? QStringLiteral("planocontas") : QStringLiteral("planoccusto");
    f.colunaCodigo = contas ? QStringLiteral("conta") : QStringLiteral("ccusto");
    f.colunaDescricao = QStringLiteral("designacao");
    f.colunaLancadora = contas ? QStringLiteral("lancadora") : QStringLiteral("lancador");
    f.colunasGrelha
        = { QStringLiteral("codfirma"), QStringLiteral("codexercicio"), f.colunaCodigo, f.colunaLancadora, f.colunaDescricao };
    // CodExercicio is char(4): the year is bound as text (PostgreSQL refuses char = integer).
    f.filtro = QStringLiteral("CodFirma = ? AND CodExercicio = ?");
    f.parametros = { firma, QString::number(ano) };
    f.layout = layoutProprio(f.tipo);
    f.colunaFlag = 3;
}
} // namespace

QString FontePlano::select(const QStringList &colunas, const QString &extra, bool ordena) const
{
    QString sql = QStringLiteral("SELECT ") + colunas.join(QLatin1Char(',')) + QStringLiteral(" FROM ") + tabela;
    QStringList condicoes;
    if (!filtro.isEmpty())
        condicoes << filtro;
    if (!extra.isEmpty())
        condicoes << extra;
    if (!condicoes.isEmpty())
        sql += QStringLiteral(" WHERE ") + condicoes.join(QStringLiteral(" AND "));
    if (ordena)
        sql += QStringLiteral(" ORDER BY ") + colunaCodigo;
    return sql;
}

QSqlDatabase FontePlano::abre(QString *erro) const
{
    return abreLigacao(ligacao, erro);
}

FontePlano fontePropria(const Session &s, TipoPlano tipo)
{
    FontePlano f;
    f.origem = OrigemPlano::Propria;
    f.tipo = tipo;
    f.ligacao = s.gLigacao1;
    preencheProprio(f, s.gCodFirma, s.gAno);
    if (tipo == TipoPlano::Contas)
        f.tituloConsulta = QStringLiteral("Consulta Contas");
    return f;
}

FontePlano fontePlano(const Session &s, TipoPlano tipo)
{
    if (!s.gPlanosExt)
        return fontePropria(s, tipo);
    const bool contas = tipo == TipoPlano::Contas;
    FontePlano f;
    f.tipo = tipo;
    f.ligacao = s.gLigacao2;
    if (s.gTipoLig == QLatin1String("A")) {
        // SENDYS keeps the own layout, with its own company code.
        f.origem = OrigemPlano::Sendys;
        preencheProprio(f, s.gEmpCtb, s.gAno);
        f.tituloConsulta = contas ? QStringLiteral("Consulta Contas SENDYS") : QStringLiteral("Consulta Centros de Custo SENDYS");
    } else if (s.gTipoLig == QLatin1String("S")) {
        // SAGE: no company and no year; accounts restricted to nivint 0.
        f.origem = OrigemPlano::Sage;
        f.colunaDescricao = QStringLiteral("descr");
        if (contas) {
            f.tabela = QStringLiteral("poc");
            f.colunaCodigo = QStringLiteral("conta");
            f.colunasGrelha = { f.colunaCodigo, f.colunaDescricao };
            f.filtro = QStringLiteral("nivint = 0");
            f.layout = { { QStringLiteral("Conta"), 2000 }, { QStringLiteral("Descrição"), 5000 } };
            f.tituloConsulta = QStringLiteral("Consulta ContasPoc SAGE");
        } else {
            f.tabela = QStringLiteral("ccusto");
            f.colunaCodigo = QStringLiteral("cod");
            f.colunasGrelha = { f.colunaCodigo, f.colunaDescricao, QStringLiteral("enqcus") };
            f.layout = { { QStringLiteral("Codigo"), 1000 }, { QStringLiteral("Descrição"), 5000 },
                { QStringLiteral("EnqCus"), 1000 } };
            f.tituloConsulta = QStringLiteral("Consulta Centros de Custo SAGE");
        }
    } else if (s.gTipoLig == QLatin1String("T")) {
        // Primavera: filtered by the year only, held as text.
        f.origem = OrigemPlano::Primavera;
        f.tabela = contas ? QStringLiteral("planocontas") : QStringLiteral("planocentros");
        f.colunaCodigo = contas ? QStringLiteral("conta") : QStringLiteral("centro");
        f.colunaDescricao = QStringLiteral("descricao");
        f.colunasGrelha = { f.colunaCodigo, f.colunaDescricao, QStringLiteral("tipoconta") };
        f.filtro = QStringLiteral("ano = ?");
        f.parametros = { QString::number(s.gAno) };
        if (contas)
            f.layout = { { QStringLiteral("Conta"), 2000 }, { QStringLiteral("Descrição"), 5000 },
                { QStringLiteral("Tipo Conta"), 2000 } };
        else
            f.layout = { { QStringLiteral("Centro"), 1000 }, { QStringLiteral("Descrição"), 5000 },
                { QStringLiteral("Tipo Conta"), 1000 } };
        f.tituloConsulta
            = contas ? QStringLiteral("Consulta Contas PRIMAVERA") : QStringLiteral("Consulta Centros de Custo PRIMAVERA");
    } else {
        f.ligacao.clear();
    }
    return f;
}

QString nomePlano(TipoPlano tipo)
{
    return tipo == TipoPlano::Contas ? QStringLiteral("plano de contas") : QStringLiteral("plano de centros de custo");
}
