#include "bench.h"

#include "accruals/procuras.h"
#include "charts/chartconsult.h"
#include "charts/chartdelete.h"
#include "charts/chartnew.h"
#include "core/connection.h"
#include "core/datacombo.h"
#include "core/datagrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <cstdio>

namespace {
const int kContas = 50000;

// Shows a window and lets it paint once.
void mostra(QWidget *w)
{
    w->show();
    QApplication::processEvents();
}

// Reports the time since the last report, then restarts the clock. The row count is
// computed before the clock is read, whatever order the arguments are evaluated in.
void marca(QElapsedTimer &t, const QString &caminho, const std::function<qint64()> &linhas)
{
    const qint64 n = linhas();
    const double s = t.nsecsElapsed() / 1e9;
    relata(caminho, n, s);
    t.restart();
}

// Closes a window for good, so its queries are gone before the next one opens.
void fecha(QWidget *w)
{
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// 50,000 more accounts for the biggest company in the processing year, codes "9" + 7 digits,
// descriptions that share beginnings so that searches walk a long way.
bool criaPlanoGrande(const Session &s)
{
    QSqlDatabase db = abreLigacao(s.gLigacao1);
    db.transaction();
    const int porLote = 500;
    for (int inicio = 0; inicio < kContas; inicio += porLote) {
        QStringList tuplos;
        QVariantList v;
        for (int i = inicio; i < inicio + porLote && i < kContas; ++i) {
            tuplos << QStringLiteral("(?,?,?,?,?)");
            v << s.gCodFirma << QString::number(s.gAno) << QStringLiteral("9%1").arg(i, 7, 10, QLatin1Char('0'))
              << (i % 7 ? 1 : 0) << QStringLiteral("Conta de gastos n.º %1").arg(i);
        }
        QSqlQuery q(db);
        QString erro;
        if (!executa(q,
                QStringLiteral("INSERT INTO PlanoContas (CodFirma, CodExercicio, Conta, Lancadora, Designacao) VALUES ")
                    + tuplos.join(QLatin1Char(',')),
                v, &erro)) {
            std::fprintf(stderr, "erro: %s\n", qPrintable(erro));
            db.rollback();
            return false;
        }
    }
    db.commit();
    return true;
}

class DestinoNulo : public ProcurasDestino
{
public:
    void recebeCodigo(int, const QString &) override { }
};
} // namespace

static BenchCaminho planos("planos de contas (50 000 contas)", [](BenchContexto &ctx) {
    Session &s = ctx.sessao;
    s.gPlanosExt = false;
    QElapsedTimer t;
    t.start();
    if (!criaPlanoGrande(s))
        return;
    const qint64 n = valorUnico(abreLigacao(s.gLigacao1),
        QStringLiteral("SELECT COUNT(*) FROM PlanoContas WHERE CodFirma = ? AND CodExercicio = ?"),
        { s.gCodFirma, QString::number(s.gAno) })
                         .toLongLong();
    marca(t, QStringLiteral("criação de 50 000 contas"), [&]() -> qint64 { return kContas; });

    // Consultation.
    auto *c = new ChartConsult(s, TipoPlano::Contas);
    mostra(c);
    marca(t, QStringLiteral("ConsultPoc: abrir"), [&]() -> qint64 { return n; });
    auto *combo = c->findChild<DataCombo *>(QStringLiteral("DataCombo1"));
    auto *desc = c->findChild<QLineEdit *>(QStringLiteral("Desccpoc"));
    auto *grelha = c->findChild<DataGrid *>(QStringLiteral("DataGrid1"));
    combo->showPopup();
    QApplication::processEvents();
    combo->hidePopup();
    marca(t, QStringLiteral("ConsultPoc: abrir a lista"), [&]() -> qint64 { return combo->rowCount(); });
    combo->setText(QStringLiteral("90049999"));
    c->procura();
    QApplication::processEvents();
    marca(t, QStringLiteral("ConsultPoc: procura por código"), [&]() -> qint64 { return grelha->totalLinhas(); });
    combo->setEditText(QString());
    desc->setText(QStringLiteral("n.º 4999"));
    c->procura();
    QApplication::processEvents();
    marca(t, QStringLiteral("ConsultPoc: procura por descrição"), [&]() -> qint64 { return grelha->totalLinhas(); });
    desc->clear();
    c->procura();
    QApplication::processEvents();
    marca(t, QStringLiteral("ConsultPoc: procura de todas (1.ª página)"), [&]() -> qint64 { return grelha->linhasLidas(); });
    marca(t, QStringLiteral("ConsultPoc: ler todas as linhas da grelha"), [&]() -> qint64 { return grelha->totalLinhas(); });
    fecha(c);

    // Deletion: opening reads the whole list; the searches walk it.
    auto *d = new ChartDelete(s, TipoPlano::Contas);
    mostra(d);
    marca(t, QStringLiteral("Del_cPoc: abrir"), [&]() -> qint64 { return n; });
    auto *dCombo = d->findChild<DataCombo *>(QStringLiteral("DataCombo1"));
    auto *dDesc = d->findChild<QLineEdit *>(QStringLiteral("Desccpoc"));
    dCombo->setEditText(QString());
    dDesc->setText(QStringLiteral("Conta de gastos n.º 49999"));
    d->procura();
    marca(t, QStringLiteral("Del_cPoc: procura por descrição (última)"), [&]() -> qint64 { return n; });
    dCombo->setEditText(QStringLiteral("90049999"));
    d->procura();
    marca(t, QStringLiteral("Del_cPoc: procura por código"), [&]() -> qint64 { return n; });
    for (int i = 0; i < 100; ++i)
        dCombo->setEditText(QStringLiteral("9%1").arg(i * 400, 7, 10, QLatin1Char('0')));
    marca(t, QStringLiteral("Del_cPoc: 100 mudanças do código"), [&]() -> qint64 { return 100; });
    fecha(d);

    // Creation: the duplicate test and the write.
    auto *nw = new ChartNew(s, TipoPlano::Contas);
    mostra(nw);
    marca(t, QStringLiteral("New_Poc: abrir"), [&]() -> qint64 { return 0; });
    nw->findChild<QLineEdit *>(QStringLiteral("ctpoc"))->setText(QStringLiteral("99999999"));
    nw->findChild<QLineEdit *>(QStringLiteral("Desccpoc"))->setText(QStringLiteral("Nova"));
    nw->insere();
    QApplication::processEvents();
    marca(t, QStringLiteral("New_Poc: inserir"), [&]() -> qint64 { return 1; });

    // Search dialog.
    DestinoNulo destino;
    s.gModoProcura = 4;
    auto *p = new Procuras(s, &destino);
    p->open();
    QApplication::processEvents();
    marca(t, QStringLiteral("Procuras: abrir"),
        [&]() -> qint64 { return p->findChild<DataGrid *>(QStringLiteral("DataGrid1"))->linhasLidas(); });
    p->findChild<QLineEdit *>(QStringLiteral("Codigo"))->setText(QStringLiteral("9004"));
    p->procura();
    QApplication::processEvents();
    marca(t, QStringLiteral("Procuras: início do código"),
        [&]() -> qint64 { return p->findChild<DataGrid *>(QStringLiteral("DataGrid1"))->totalLinhas(); });
    p->findChild<QLineEdit *>(QStringLiteral("Codigo"))->clear();
    p->findChild<QLineEdit *>(QStringLiteral("Descricao"))->setText(QStringLiteral("Conta de gastos n.º 4999"));
    p->procura();
    QApplication::processEvents();
    marca(t, QStringLiteral("Procuras: início da descrição"),
        [&]() -> qint64 { return p->findChild<DataGrid *>(QStringLiteral("DataGrid1"))->totalLinhas(); });
    fecha(p);
});
