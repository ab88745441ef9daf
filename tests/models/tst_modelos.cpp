#include "core/connection.h"
#include "core/datacombo.h"
#include "core/twips.h"
#include "models/cod_modelo.h"
#include "models/del_modelo.h"
#include "models/modelos_txt.h"
#include "models/new_modelo.h"
#include "models/sim_modelo.h"
#include "models/valorescaixa.h"
#include "support/ambiente.h"
#include "support/fixtures.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {
QStringList g_falhas; // modal windows that never came

void clica(QPushButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton);
}

void escreve(QLineEdit *campo, const QString &texto)
{
    campo->clear();
    QTest::keyClicks(campo, texto);
}

// Runs f on the modal dialog `nome` once it is the active modal window; another or none is
// recorded in g_falhas and closed, so that the test cannot hang.
void quandoModal(const QString &nome, std::function<void(QDialog *)> f, int tentativas = 300)
{
    QTimer::singleShot(10, [=] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (d && d->objectName() == nome)
            return f(d);
        if (tentativas > 0)
            return quandoModal(nome, f, tentativas - 1);
        g_falhas << QStringLiteral("esperava %1, aberto: %2").arg(nome, d ? d->objectName() : QStringLiteral("nada"));
        if (d)
            d->reject();
    });
}

template <typename T> QPointer<T> abre(Ambiente &a)
{
    QPointer<T> w = new T(a.sessao);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return w;
}

template <typename T> bool fechou(const QPointer<T> &w)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return w.isNull();
}

bool criaModelo(QSqlDatabase db, const QString &nome, QList<int> v) // TipoDet, four counts, Activo
{
    return corre(db,
        QStringLiteral("INSERT INTO Modexptxt (Modelo, TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?)"),
        { nomeModeloGuardado(nome), v[0], v[1], v[2], v[3], v[4], v[5] });
}

// The stored header: Modelo as read back, then TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo.
QStringList cabecalho(QSqlDatabase db, const QString &nome)
{
    QSqlQuery q(db);
    QStringList v;
    if (executa(q,
            QStringLiteral("SELECT Modelo, TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo FROM Modexptxt WHERE Modelo = ?"),
            { nomeModeloGuardado(nome) })
        && q.next())
        for (int i = 0; i < 7; ++i)
            v << q.value(i).toString();
    return v;
}

QString contagens(CabecalhoModelo *c)
{
    return QStringList({ c->nlincab->text(), c->nlinini->text(), c->nlinsep->text(), c->nlinfim->text() }).join(QLatin1Char(','));
}
} // namespace

class TstModelos : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }
    void init() { g_falhas.clear(); }
    void cleanup() { QVERIFY2(g_falhas.isEmpty(), qPrintable(g_falhas.join(QLatin1Char('\n')))); }

    void numerosENomes()
    {
        const struct {
            const char *texto;
            int valor;
            bool cabe;
        } casos[] = {
            { "", 0, true },
            { "ab", 0, true },
            { "  7", 7, true },
            { "4x", 4, true },
            { "+3", 3, true },
            { "-5", -5, true },
            { "2.5", 2, true },
            { "3.5", 4, true },
            { "-2.5", -2, true },
            { "2.51", 3, true },
            { ".5", 0, true },
            { ".", 0, true },
            { "1e2", 100, true },
            { "2e", 2, true },
            { "15e-1", 2, true },
            { "32767", 32767, true },
            { "-32768", -32768, true },
            { "32768", 0, false },
            { "1e5", 0, false },
            { "1e999", 0, false },
            { "1e-999", 0, true },
        };
        for (const auto &c : casos) {
            bool cabe = !c.cabe;
            QCOMPARE(QStringLiteral("%1 -> %2").arg(c.texto).arg(numeroDaCaixa(QString::fromLatin1(c.texto), &cabe)),
                QStringLiteral("%1 -> %2").arg(c.texto).arg(c.valor));
            QCOMPARE(cabe, c.cabe);
        }
        QCOMPARE(nomeModeloGuardado("AB"), QStringLiteral("AB        "));
        QCOMPARE(nomeModeloGuardado("AB            "), QStringLiteral("AB        "));
        QCOMPARE(nomeModeloGuardado(" AB"), QStringLiteral(" AB       "));
        QCOMPARE(nomeModeloGuardado("0123456789X"), QStringLiteral("0123456789X"));
    }

    void menuAbreCadaJanela()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        Modelos_Txt m(a.sessao);
        m.show();
        QCOMPARE(m.menu_mod->objectName() + m.menu_mod->title(), QStringLiteral("menu_modMenu"));
        QStringList entradas;
        for (QAction *ac : m.menu_mod->actions())
            entradas << ac->objectName() + QLatin1Char(' ') + ac->text();
        QCOMPARE(entradas,
            QStringList({ "novo_mod Novo", "alt_mod Alterar", "apaga_mod Apagar", "simula_mod Simular", "sai_mod Sair" }));

        // "Novo" and "Alterar" record the way in; "Apagar" and "Simular" leave it.
        QStringList abertas;
        a.sessao.gAlteraModelo = true;
        for (auto [accao, nome] : { std::pair { m.novo_mod, "New_Modelo" }, { m.alt_mod, "Alt_Modelo" },
                 { m.apaga_mod, "Del_Modelo" }, { m.simula_mod, "Sim_Modelo" } }) {
            quandoModal(QString::fromLatin1(nome), [&](QDialog *d) {
                abertas << QStringLiteral("%1 %2 %3").arg(d->objectName(), d->windowTitle()).arg(a.sessao.gAlteraModelo);
                d->close();
            });
            accao->trigger();
        }
        QCOMPARE(abertas,
            QStringList({ "New_Modelo Novo modelo 0", "Alt_Modelo Alteração de modelos 1", "Del_Modelo Eliminação de modelos 1",
                "Sim_Modelo Simulação de modelos 1" }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m.findChildren<QDialog *>().isEmpty());
        m.sai_mod->trigger();
        QVERIFY(!m.isVisible());
    }

    void novoModelo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        auto n = abre<New_Modelo>(a);
        QCOMPARE(n->tipodet->text() + QLatin1Char('|') + contagens(n), QStringLiteral("Uma Linha por Movimento|1,1,0,0"));

        // Refused silently: an empty count, a name of blanks (focus on the name), a detail type
        // that is no option (focus on the list).
        escreve(n->modelo, QStringLiteral("X"));
        n->nlinfim->clear();
        clica(n->CodButton);
        QCOMPARE(n->focusWidget(), n->modelo);
        escreve(n->nlinfim, QStringLiteral("0"));
        escreve(n->modelo, QStringLiteral("   "));
        clica(n->CodButton);
        QCOMPARE(n->focusWidget(), n->modelo);
        escreve(n->modelo, QStringLiteral("X"));
        n->tipodet->setEditText(QStringLiteral("Uma Linha"));
        clica(n->CodButton);
        QCOMPARE(n->focusWidget(), n->tipodet);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 0);

        // A count that is not a whole number from 0 to 99: said, the focus on its box, nothing stored.
        escreve(n->modelo, QStringLiteral(" O'Neil  "));
        n->tipodet->setCurrentIndex(2);
        QLineEdit *caixas[] = { n->nlincab, n->nlinini, n->nlinsep, n->nlinfim };
        const char *errados[] = { "ab", "-1", "1e", "9x" };
        for (int i = 0; i < 4; ++i) {
            for (QLineEdit *c : caixas)
                escreve(c, QStringLiteral("1"));
            escreve(caixas[i], QString::fromLatin1(errados[i]));
            clica(n->CodButton);
            QCOMPARE(a.msgs.ultimo(), QStringLiteral("O número de linhas tem de ser um número inteiro de 0 a 99."));
            QCOMPARE(n->focusWidget(), caixas[i]);
        }
        QCOMPARE(a.msgs.mostradas.size(), 4);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 0);
        a.msgs.limpa();

        // Blanks around the name and a quote inside; counts read as numbers; the form waits
        // under the item choice and closes with it.
        for (auto [caixa, texto] :
            { std::pair { n->nlincab, "2" }, { n->nlinini, "02" }, { n->nlinsep, "0" }, { n->nlinfim, "99" } })
            escreve(caixa, QString::fromLatin1(texto));
        QString visto;
        quandoModal(QStringLiteral("Cod_Modelo"), [&](QDialog *d) {
            visto = d->windowTitle() + QLatin1Char('|') + a.sessao.gModelo + QLatin1Char('|')
                + QString::number(n && n->isVisible());
            clica(d->findChild<QPushButton *>(QStringLiteral("CancelButton")));
        });
        clica(n->CodButton);
        QCOMPARE(visto, QStringLiteral("Codificação do modelo O'Neil|O'Neil|1"));
        QVERIFY(fechou(n));
        QCOMPARE(cabecalho(db, "O'Neil"), QStringList({ "O'Neil    ", "2", "2", "2", "0", "99", "0" }));

        // The same name again: the message, nothing added, the window stays.
        n = abre<New_Modelo>(a);
        escreve(n->modelo, QStringLiteral("O'Neil"));
        clica(n->CodButton);
        QCOMPARE(a.msgs.textos(), QStringList({ "O modelo já foi definido" }));
        QCOMPARE(a.msgs.mostradas.last().titulo, tituloAplicacao());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 1);
        QVERIFY(n->isVisible());

        // A database failure is said; the window stays usable.
        QVERIFY(corre(db, QStringLiteral("DROP TABLE Modexptxt")));
        escreve(n->modelo, QStringLiteral("Outro"));
        clica(n->CodButton);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível verificar o modelo.")));
        QVERIFY(n->isVisible());
        n->close();
    }

    void alteraModelo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaModelo(db, "AAA", { 1, 2, 3, 4, 5, 1 }));
        QVERIFY(criaModelo(db, "BB", { 99, 6, 7, 8, 9, 0 }));
        auto m = abre<Alt_Modelo>(a);
        QCOMPARE(m->Modelo->text() + m->tipodet->text() + contagens(m),
            QStringLiteral("AAA       Débito e Crédito na Mesma Linha2,3,4,5"));

        // A shorter typed name is not the stored one: nothing changes. Picked from the list it is;
        // its detail type is no option, so the list keeps its text.
        m->Modelo->lineEdit()->clear();
        QTest::keyClicks(m->Modelo->lineEdit(), QStringLiteral("BB"));
        QCOMPARE(contagens(m), QStringLiteral("2,3,4,5"));
        m->Modelo->setCurrentIndex(1);
        QCOMPARE(m->Modelo->text() + m->tipodet->text() + contagens(m),
            QStringLiteral("BB        Débito e Crédito na Mesma Linha6,7,8,9"));

        // A name that is not stored; an empty count.
        m->Modelo->setEditText(QStringLiteral("CC"));
        clica(m->CodButton);
        QCOMPARE(a.msgs.textos(), QStringList({ "O modelo não está definido" }));
        m->Modelo->setCurrentIndex(0);
        m->nlinsep->clear();
        clica(m->CodButton);
        QCOMPARE(m->focusWidget(), m->Modelo);
        QCOMPARE(cabecalho(db, "AAA"), QStringList({ "AAA       ", "1", "2", "3", "4", "5", "1" }));

        // Saved: detail type and counts change, name and Activo stay, the other model is untouched.
        m->tipodet->setCurrentIndex(2);
        escreve(m->nlincab, QStringLiteral("7"));
        escreve(m->nlinsep, QStringLiteral("0"));
        QString gModelo;
        quandoModal(QStringLiteral("Cod_Modelo"), [&](QDialog *d) {
            gModelo = a.sessao.gModelo;
            d->close();
        });
        clica(m->CodButton);
        QCOMPARE(gModelo, QStringLiteral("AAA"));
        QVERIFY(fechou(m));
        QCOMPARE(cabecalho(db, "AAA"), QStringList({ "AAA       ", "2", "7", "3", "0", "5", "1" }));
        QCOMPARE(cabecalho(db, "BB"), QStringList({ "BB        ", "99", "6", "7", "8", "9", "0" }));

        // A stored detail type that is no option shows the first; saving stores its code. The name
        // typed without its padding, or with more blanks, is found.
        QVERIFY(corre(db, QStringLiteral("DELETE FROM Modexptxt WHERE TipoDet = 2")));
        m = abre<Alt_Modelo>(a);
        QCOMPARE(m->Modelo->text() + m->tipodet->text(), QStringLiteral("BB        Uma Linha por Movimento"));
        m->Modelo->setEditText(QStringLiteral("BB            "));
        quandoModal(QStringLiteral("Cod_Modelo"), [](QDialog *d) { d->close(); });
        clica(m->CodButton);
        QVERIFY(fechou(m));
        QCOMPARE(cabecalho(db, "BB"), QStringList({ "BB        ", "0", "6", "7", "8", "9", "0" }));
        QCOMPARE(a.msgs.mostradas.size(), 1);
    }

    void apagaModelo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        for (const char *nome : { "M1", "M'2" }) {
            QVERIFY(criaModelo(db, nome, { 0, 1, 1, 0, 0, 0 }));
            for (int t : { 0, 3, 5 })
                QVERIFY(corre(db, QStringLiteral("INSERT INTO modexptxtdet (modelo, tipocod) VALUES (?, ?)"), { nome, t }));
        }
        auto d = abre<Del_Modelo>(a);
        QCOMPARE(d->Modelo->text(), QStringLiteral("M1        "));
        // A name that is no model brings back the first one.
        d->Modelo->setCurrentIndex(1);
        d->Modelo->lineEdit()->clear();
        QTest::keyClicks(d->Modelo->lineEdit(), QStringLiteral("Z"));
        QCOMPARE(d->Modelo->text(), QStringLiteral("M1        "));

        // No: nothing goes. Yes: the header and all its items, the other model stays whole.
        d->Modelo->setCurrentIndex(1);
        a.msgs.responde(Mensagens::Resposta::Nao);
        clica(d->ApagaButton);
        const auto &pergunta = a.msgs.mostradas.value(0);
        QCOMPARE(pergunta.texto + QLatin1Char('|') + pergunta.titulo, QStringLiteral("Deseja apagar o modelo?|Apagar"));
        QVERIFY(pergunta.botoes == Mensagens::Botoes::SimNao && pergunta.icone == Mensagens::Icone::Exclamacao);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet") + conta(db, "SELECT COUNT(*) FROM Modexptxt"), 8);
        a.msgs.responde(Mensagens::Resposta::Sim);
        clica(d->ApagaButton);
        QVERIFY(fechou(d));
        QCOMPARE(cabecalho(db, "M'2"), QStringList());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet WHERE modelo = ?", { "M1" }), 3);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet") + conta(db, "SELECT COUNT(*) FROM Modexptxt"), 4);

        // A header stored bare, or with leading blanks, by another program (SQLite keeps it so)
        // is the same model everywhere: altered, then deleted with its items.
        for (const QString &guardado : { QStringLiteral("NU"), QStringLiteral(" AB       ") }) {
            const QString nome = guardado.trimmed();
            QVERIFY(corre(db,
                QStringLiteral("INSERT INTO Modexptxt (Modelo, TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo) "
                               "VALUES (?, 0, 1, 1, 0, 0, 0)"),
                { guardado }));
            QVERIFY(corre(db, QStringLiteral("INSERT INTO modexptxtdet (modelo, tipocod) VALUES (?, 3)"), { guardado }));
            auto linha = [&](DataCombo *c) {
                for (int i = 0; i < c->rowCount(); ++i)
                    if (c->row(i).value(QStringLiteral("Modelo")).toString().trimmed() == nome)
                        return i;
                return -1;
            };
            auto m = abre<Alt_Modelo>(a);
            m->Modelo->setCurrentIndex(linha(m->Modelo));
            quandoModal(QStringLiteral("Cod_Modelo"), [](QDialog *c) { c->close(); });
            clica(m->CodButton);
            QVERIFY(fechou(m));
            d = abre<Del_Modelo>(a);
            d->Modelo->setCurrentIndex(linha(d->Modelo));
            a.msgs.responde(Mensagens::Resposta::Sim);
            clica(d->ApagaButton);
            QVERIFY(fechou(d));
            QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet WHERE TRIM(modelo) = ?", { nome })
                    + conta(db, "SELECT COUNT(*) FROM Modexptxt WHERE TRIM(Modelo) = ?", { nome }),
                0);
        }
        QCOMPARE(a.msgs.textos().size(), 4);

        // Deleted at another workstation meanwhile: said, nothing deleted, the window stays.
        d = abre<Del_Modelo>(a);
        QVERIFY(corre(db, QStringLiteral("DELETE FROM Modexptxt")));
        a.msgs.responde(Mensagens::Resposta::Sim);
        clica(d->ApagaButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O modelo não está definido"));
        QVERIFY(d->isVisible());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet WHERE modelo = ?", { "M1" }), 3);
        d->close();
        QVERIFY(criaModelo(db, "M1", { 0, 1, 1, 0, 0, 0 }));

        // The items cannot go: the header stays too, the failure is said, the window stays.
        QVERIFY(corre(db, QStringLiteral("DROP TABLE modexptxtdet")));
        d = abre<Del_Modelo>(a);
        a.msgs.responde(Mensagens::Resposta::Sim);
        clica(d->ApagaButton);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível apagar o modelo.")));
        QVERIFY(d->isVisible());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 1);
        d->close();
    }

    void escolhaDoItem()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        a.sessao.gModelo = QStringLiteral("MOD1");
        a.sessao.gItemCodigo = 9;
        QVERIFY(criaModelo(db, "MOD1", { 0, 1, 1, 0, 0, 0 }));
        QStringList abertas;
        auto codifica = [&](Cod_Modelo *c, const QString &texto, const char *janela) {
            c->tipocod->setEditText(texto);
            if (janela)
                quandoModal(QString::fromLatin1(janela), [&](QDialog *d) {
                    abertas << QStringLiteral("%1 %2 %3").arg(d->objectName()).arg(a.sessao.gItemCodigo).arg(a.sessao.gItemNome);
                    d->reject();
                });
            clica(c->CodButton);
        };
        auto c = abre<Cod_Modelo>(a);
        QCOMPARE(c->windowTitle() + QLatin1Char('|') + c->tipocod->text(),
            QStringLiteral("Codificação do modelo MOD1|Nome do Ficheiro"));
        // No item named, or none at all: no window, the code stays.
        codifica(c, QStringLiteral("Linha"), nullptr);
        QCOMPARE(c->focusWidget(), c->tipocod);
        codifica(c, QString(), nullptr);
        QCOMPARE(a.sessao.gItemCodigo, qint16(9));
        // Code 0 opens the file-name coding, any other the line coding; the list starts over.
        codifica(c, QStringLiteral("Linha de Detalhe"), "Cod_det");
        QCOMPARE(c->tipocod->text(), QStringLiteral("Nome do Ficheiro"));
        codifica(c, QStringLiteral("Nome do Ficheiro"), "Cod_nome");
        c->close();

        // Whatever its text, code 0 is the file name; of two equal texts the first is coded; the
        // item's name is trimmed.
        QVERIFY(corre(db, QStringLiteral("DELETE FROM MenusMod WHERE TipoMenu = 1")));
        for (auto [codigo, texto] : { std::pair { 0, " Ficheiro " }, { 5, "Linha Final" }, { 8, "Linha Final" } })
            QVERIFY(corre(
                db, QStringLiteral("INSERT INTO MenusMod (TipoMenu, Codigo, Designacao) VALUES (1, ?, ?)"), { codigo, texto }));
        c = abre<Cod_Modelo>(a);
        codifica(c, QStringLiteral(" Ficheiro "), "Cod_nome");
        codifica(c, QStringLiteral("Linha Final"), "Cod_det");
        QCOMPARE(abertas,
            QStringList(
                { "Cod_det 3 Linha de Detalhe", "Cod_nome 0 Nome do Ficheiro", "Cod_nome 0 Ficheiro", "Cod_det 5 Linha Final" }));
        c->close();

        // An empty list: nothing happens.
        QVERIFY(corre(db, QStringLiteral("DELETE FROM MenusMod WHERE TipoMenu = 1")));
        c = abre<Cod_Modelo>(a);
        codifica(c, QStringLiteral("Linha Final"), nullptr);
        QCOMPARE(a.sessao.gItemCodigo, qint16(5));
        c->close();
    }

    void simulacao()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, "F1", "Um") && criaFirma(db, "F2", "Dois") && a.entra("F1", 2024, 3));
        a.sessao.gDataProc = QStringLiteral("15-03-2024");
        // Number shown, target letter, date, and whether the model column is hidden and the rest moved left.
        auto mostra = [&] {
            a.sessao.gTipoExp = QStringLiteral("X");
            Sim_Modelo s(a.sessao);
            s.show();
            clica(s.SimButton);
            const bool compacta
                = !s.Modelo->isVisible() && !s.Label1->isVisible() && s.DTPicker1->x() == twipsParaPixels(200, &s);
            return QStringList(
                { s.Text2->text(), a.sessao.gTipoExp, s.DTPicker1->date().toString(Qt::ISODate), QString::number(compacta) })
                .join(QLatin1Char('|'));
        };
        QCOMPARE(mostra(), QStringLiteral("1|D|2024-03-15|1"));
        const QString ins = QStringLiteral(
            "INSERT INTO Molvar (Ref, CodFirma, Mes, Ano, Valor, Diario, NumDiario) VALUES (?, ?, 1, 2024, 0, ?, ?)");
        QVERIFY(corre(db, ins, { 1, "F1", "01", 7 }) && corre(db, ins, { 2, "F1", "02", 41 })
            && corre(db, ins, { 3, "F1", "01", QVariant() }) && corre(db, ins, { 4, "F2", "01", 500 }));
        QCOMPARE(mostra(), QStringLiteral("42|D|2024-03-15|1"));
        QVERIFY(corre(db, ins, { 5, "F1", "01", 40000 })); // beyond 16 bits it is still the next number
        QCOMPARE(mostra(), QStringLiteral("40001|D|2024-03-15|1"));
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Molvar"), 5);
        // A highest number of -1 gives 0, a number like any other, not a failed read.
        QVERIFY(corre(db, "UPDATE Molvar SET NumDiario = NumDiario - 40001 WHERE CodFirma = 'F1'"));
        QCOMPARE(mostra(), QStringLiteral("0|D|2024-03-15|1"));
        QCOMPARE(a.msgs.mostradas.size(), 0);

        a.sessao.gLigacao1 = QStringLiteral("Driver=Nenhum;");
        QCOMPARE(mostra(), QStringLiteral("|D|2024-03-15|1"));
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível ler o número do diário.")));
    }
};

QTEST_MAIN(TstModelos)
#include "tst_modelos.moc"
