#include "core/connection.h"
#include "core/datacombo.h"
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
#include <QMenuBar>
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

void apagaPendentes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs f on the modal dialog called `nome` once it is the active modal window; a different or
// missing window is recorded in g_falhas and closed so that the test does not hang.
void quandoModal(const QString &nome, std::function<void(QDialog *)> f, int tentativas = 300)
{
    QTimer::singleShot(10, [=] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (d && d->objectName() == nome) {
            f(d);
            return;
        }
        if (tentativas > 0) {
            quandoModal(nome, f, tentativas - 1);
            return;
        }
        g_falhas << QStringLiteral("esperava %1, aberto: %2").arg(nome, d ? d->objectName() : QStringLiteral("nada"));
        if (d)
            d->reject();
    });
}

template <typename T> T *filho(QWidget *w, const char *nome)
{
    return w->findChild<T *>(QString::fromLatin1(nome));
}

QString nomeGuardado(QSqlDatabase db, const QString &nome)
{
    return valorUnico(db, QStringLiteral("SELECT Modelo FROM Modexptxt WHERE Modelo = ?"), { nomeModeloGuardado(nome) }).toString();
}

bool criaModelo(QSqlDatabase db, const QString &nome, int tipoDet, int cab, int ini, int sep, int fim, int activo = 0)
{
    return corre(db,
        QStringLiteral("INSERT INTO Modexptxt (Modelo, Activo, TipoDet, NlinCab, NlinIni, NlinSep, NlinFim) VALUES (?, ?, ?, ?, ?, ?, ?)"),
        { nomeModeloGuardado(nome), activo, tipoDet, cab, ini, sep, fim });
}

bool criaItem(QSqlDatabase db, const QString &nome, int tipocod)
{
    return corre(db, QStringLiteral("INSERT INTO modexptxtdet (modelo, tipocod, Lcampos) VALUES (?, ?, 1)"), { nome, tipocod });
}

// The header row of a model: TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo.
QList<int> cabecalho(QSqlDatabase db, const QString &nome)
{
    QSqlQuery q(db);
    QList<int> v;
    if (executa(q, QStringLiteral("SELECT TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo FROM Modexptxt WHERE Modelo = ?"),
            { nomeModeloGuardado(nome) })
        && q.next())
        for (int i = 0; i < 6; ++i)
            v << q.value(i).toInt();
    return v;
}
} // namespace

class TstModelos : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }
    void init() { g_falhas.clear(); }
    void cleanup() { QVERIFY2(g_falhas.isEmpty(), qPrintable(g_falhas.join(QLatin1Char('\n')))); }

    void numeroDaCaixa_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("valor");
        QTest::addColumn<bool>("cabe");
        QTest::newRow("vazio") << "" << 0 << true;
        QTest::newRow("letras") << "ab" << 0 << true;
        QTest::newRow("inteiro") << "12" << 12 << true;
        QTest::newRow("brancos antes") << "  7" << 7 << true;
        QTest::newRow("parte inicial") << "4x" << 4 << true;
        QTest::newRow("sinal") << "+3" << 3 << true;
        QTest::newRow("negativo") << "-5" << -5 << true;
        QTest::newRow("meio para par baixo") << "2.5" << 2 << true;
        QTest::newRow("meio para par cima") << "3.5" << 4 << true;
        QTest::newRow("meio negativo") << "-2.5" << -2 << true;
        QTest::newRow("acima do meio") << "2.51" << 3 << true;
        QTest::newRow("so decimais") << ".5" << 0 << true;
        QTest::newRow("ponto so") << "." << 0 << true;
        QTest::newRow("expoente") << "1e2" << 100 << true;
        QTest::newRow("expoente sem algarismos") << "2e" << 2 << true;
        QTest::newRow("expoente negativo") << "15e-1" << 2 << true;
        QTest::newRow("maximo") << "32767" << 32767 << true;
        QTest::newRow("minimo") << "-32768" << -32768 << true;
        QTest::newRow("acima") << "32768" << 0 << false;
        QTest::newRow("expoente acima") << "1e5" << 0 << false;
        QTest::newRow("enorme") << "1e999" << 0 << false;
        QTest::newRow("minusculo") << "1e-999" << 0 << true;
    }

    void numeroDaCaixa()
    {
        QFETCH(QString, texto);
        QFETCH(int, valor);
        QFETCH(bool, cabe);
        bool coube = !cabe;
        QCOMPARE(int(::numeroDaCaixa(texto, &coube)), valor);
        QCOMPARE(coube, cabe);
    }

    void nomeGuardadoTemDezCaracteres()
    {
        QCOMPARE(nomeModeloGuardado(QStringLiteral("AB")), QStringLiteral("AB        "));
        QCOMPARE(nomeModeloGuardado(QStringLiteral("0123456789")), QStringLiteral("0123456789"));
        QCOMPARE(nomeModeloGuardado(QStringLiteral("0123456789X")), QStringLiteral("0123456789X"));
    }

    void menuAbreCadaJanela()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        Modelos_Txt m(a.sessao);
        m.show();
        QCOMPARE(m.objectName(), QStringLiteral("Modelos_Txt"));
        QCOMPARE(m.windowTitle(), QStringLiteral("Modelos"));
        auto *menu = filho<QMenu>(&m, "menu_mod");
        QVERIFY(menu);
        QCOMPARE(menu->title(), QStringLiteral("Menu"));
        QStringList nomes, textos;
        for (QAction *ac : menu->actions())
            nomes << ac->objectName(), textos << ac->text();
        QCOMPARE(nomes, QStringList({ "novo_mod", "alt_mod", "apaga_mod", "simula_mod", "sai_mod" }));
        QCOMPARE(textos, QStringList({ "Novo", "Alterar", "Apagar", "Simular", "Sair" }));

        // "Novo" and "Alterar" say which way the editor was entered; the others leave it.
        QStringList abertas;
        QList<bool> altera;
        auto regista = [&](QDialog *d) {
            abertas << d->objectName() + QLatin1Char('|') + d->windowTitle();
            altera << a.sessao.gAlteraModelo;
            d->close();
        };
        a.sessao.gAlteraModelo = true;
        quandoModal(QStringLiteral("New_Modelo"), regista);
        filho<QAction>(&m, "novo_mod")->trigger();
        quandoModal(QStringLiteral("Alt_Modelo"), regista);
        filho<QAction>(&m, "alt_mod")->trigger();
        quandoModal(QStringLiteral("Del_Modelo"), regista);
        filho<QAction>(&m, "apaga_mod")->trigger();
        quandoModal(QStringLiteral("Sim_Modelo"), regista);
        filho<QAction>(&m, "simula_mod")->trigger();
        QCOMPARE(abertas, QStringList({ "New_Modelo|Novo modelo", "Alt_Modelo|Alteração de modelos",
                              "Del_Modelo|Eliminação de modelos", "Sim_Modelo|Simulação de modelos" }));
        QCOMPARE(altera, QList<bool>({ false, true, true, true }));
        apagaPendentes();
        QVERIFY(m.findChildren<QDialog *>().isEmpty()); // each window went away with its closing
        filho<QAction>(&m, "sai_mod")->trigger();
        QVERIFY(!m.isVisible());
        QVERIFY(a.msgs.mostradas.isEmpty());
    }

    void novoModelo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QPointer<New_Modelo> n = new New_Modelo(a.sessao);
        n->setAttribute(Qt::WA_DeleteOnClose);
        n->show();
        QCOMPARE(n->tipodet->text(), QStringLiteral("Uma Linha por Movimento"));
        QCOMPARE(n->tipodet->rowCount(), 3);
        QCOMPARE(n->nlincab->text() + n->nlinini->text() + n->nlinsep->text() + n->nlinfim->text(), QStringLiteral("1100"));
        QCOMPARE(n->modelo->maxLength(), 10);

        // An empty box: nothing saved, no message, the name gets the focus.
        escreve(n->modelo, QStringLiteral("X"));
        n->nlinfim->clear();
        clica(n->CodButton);
        QCOMPARE(n->focusWidget(), n->modelo);
        // Blanks only would be an empty name.
        escreve(n->nlinfim, QStringLiteral("0"));
        escreve(n->modelo, QStringLiteral("   "));
        clica(n->CodButton);
        QCOMPARE(n->focusWidget(), n->modelo);
        // A detail type that is no option: nothing saved, focus on the list.
        escreve(n->modelo, QStringLiteral("X"));
        n->tipodet->setEditText(QStringLiteral("Uma Linha"));
        clica(n->CodButton);
        QCOMPARE(n->focusWidget(), n->tipodet);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 0);
        QVERIFY(a.msgs.mostradas.isEmpty());
        QVERIFY(n->isVisible());

        // A name with blanks around it and a quote inside; counts read as numbers.
        escreve(n->modelo, QStringLiteral(" O'Neil  "));
        n->tipodet->setCurrentIndex(2);
        escreve(n->nlincab, QStringLiteral("2"));
        escreve(n->nlinini, QStringLiteral("2."));
        escreve(n->nlinsep, QStringLiteral("x"));
        escreve(n->nlinfim, QStringLiteral("-4"));
        QString titulo, gModelo;
        quandoModal(QStringLiteral("Cod_Modelo"), [&](QDialog *d) {
            titulo = d->windowTitle();
            gModelo = a.sessao.gModelo;
            QVERIFY(n && n->isVisible()); // the header form waits beneath
            clica(filho<QPushButton>(d, "CancelButton"));
        });
        clica(n->CodButton);
        QCOMPARE(gModelo, QStringLiteral("O'Neil"));
        QCOMPARE(titulo, QStringLiteral("Codificação do modelo O'Neil"));
        apagaPendentes();
        QVERIFY(n.isNull()); // closed when the item choice closed
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 1);
        QCOMPARE(cabecalho(db, QStringLiteral("O'Neil")), QList<int>({ 2, 2, 2, 0, -4, 0 }));
        // Stored in the char(10) form on both databases.
        QCOMPARE(nomeGuardado(db, QStringLiteral("O'Neil")), QStringLiteral("O'Neil    "));

        // The same name again: the message, nothing added, the window stays.
        n = new New_Modelo(a.sessao);
        n->setAttribute(Qt::WA_DeleteOnClose);
        n->show();
        escreve(n->modelo, QStringLiteral("O'Neil"));
        clica(n->CodButton);
        QCOMPARE(a.msgs.textos(), QStringList({ "O modelo já foi definido" }));
        QCOMPARE(a.msgs.mostradas.last().titulo, tituloAplicacao());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 1);
        QVERIFY(n->isVisible());
        QCOMPARE(n->focusWidget(), n->modelo);

        // A database failure is said, and the window stays usable.
        QVERIFY(corre(db, QStringLiteral("DROP TABLE Modexptxt")));
        a.msgs.limpa();
        escreve(n->modelo, QStringLiteral("Outro"));
        clica(n->CodButton);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível verificar o modelo.")));
        QVERIFY(n->isVisible());
        n->close();
    }

    void alteraModelo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaModelo(db, QStringLiteral("AAA"), 1, 2, 3, 4, 5, 1));
        QVERIFY(criaModelo(db, QStringLiteral("BB"), 99, 6, 7, 8, 9));

        QPointer<Alt_Modelo> m = new Alt_Modelo(a.sessao);
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->show();
        // The first model on show, its detail type picked by code.
        QCOMPARE(m->Modelo->rowCount(), 2);
        QCOMPARE(m->Modelo->text(), QStringLiteral("AAA       "));
        QCOMPARE(m->tipodet->text(), QStringLiteral("Débito e Crédito na Mesma Linha"));
        QCOMPARE(m->nlincab->text() + m->nlinini->text() + m->nlinsep->text() + m->nlinfim->text(), QStringLiteral("2345"));

        // A shorter typed name is not the stored one: the boxes stay.
        m->Modelo->lineEdit()->clear();
        QTest::keyClicks(m->Modelo->lineEdit(), QStringLiteral("BB"));
        QCOMPARE(m->nlincab->text(), QStringLiteral("2"));
        QCOMPARE(m->tipodet->text(), QStringLiteral("Débito e Crédito na Mesma Linha"));
        // Picking it from the list refreshes them; its detail type is no option, so the list keeps its text.
        m->Modelo->setCurrentIndex(1);
        QCOMPARE(m->Modelo->text(), QStringLiteral("BB        "));
        QCOMPARE(m->nlincab->text() + m->nlinini->text() + m->nlinsep->text() + m->nlinfim->text(), QStringLiteral("6789"));
        QCOMPARE(m->tipodet->text(), QStringLiteral("Débito e Crédito na Mesma Linha"));
        m->Modelo->setCurrentIndex(0);
        QCOMPARE(m->nlincab->text(), QStringLiteral("2"));

        // A name that is not stored.
        m->Modelo->setEditText(QStringLiteral("CC"));
        clica(m->CodButton);
        QCOMPARE(a.msgs.textos(), QStringList({ "O modelo não está definido" }));
        QCOMPARE(m->focusWidget(), m->Modelo);
        QVERIFY(m->isVisible());

        // An empty count: nothing, focus on the name.
        m->Modelo->setCurrentIndex(0);
        m->nlinsep->clear();
        clica(m->CodButton);
        QCOMPARE(m->focusWidget(), m->Modelo);
        QCOMPARE(cabecalho(db, QStringLiteral("AAA")), QList<int>({ 1, 2, 3, 4, 5, 1 }));

        // Saving: detail type and counts change, name and Activo stay; the other model is untouched.
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
        apagaPendentes();
        QVERIFY(m.isNull());
        QCOMPARE(cabecalho(db, QStringLiteral("AAA")), QList<int>({ 2, 7, 3, 0, 5, 1 }));
        QCOMPARE(cabecalho(db, QStringLiteral("BB")), QList<int>({ 99, 6, 7, 8, 9, 0 }));
        QCOMPARE(nomeGuardado(db, QStringLiteral("AAA")), QStringLiteral("AAA       "));

        // A stored detail type that is no option shows the first option, and saving stores its code.
        QVERIFY(corre(db, QStringLiteral("DELETE FROM Modexptxt WHERE Modelo = ?"), { nomeModeloGuardado("AAA") }));
        m = new Alt_Modelo(a.sessao);
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->show();
        QCOMPARE(m->Modelo->text(), QStringLiteral("BB        "));
        QCOMPARE(m->tipodet->text(), QStringLiteral("Uma Linha por Movimento"));
        // A name typed without its padding is found by the lookup.
        m->Modelo->setEditText(QStringLiteral("BB"));
        quandoModal(QStringLiteral("Cod_Modelo"), [](QDialog *d) { d->close(); });
        clica(m->CodButton);
        QCOMPARE(cabecalho(db, QStringLiteral("BB")), QList<int>({ 0, 6, 7, 8, 9, 0 }));
        QCOMPARE(a.sessao.gModelo, QStringLiteral("BB"));
        QCOMPARE(a.msgs.mostradas.size(), 1);
    }

    void apagaModelo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaModelo(db, QStringLiteral("M1"), 0, 1, 1, 0, 0));
        QVERIFY(criaModelo(db, QStringLiteral("M'2"), 0, 1, 1, 0, 0));
        for (int t : { 0, 3, 5 }) {
            QVERIFY(criaItem(db, QStringLiteral("M1"), t));
            QVERIFY(criaItem(db, QStringLiteral("M'2"), t));
        }

        QPointer<Del_Modelo> d = new Del_Modelo(a.sessao);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->show();
        QCOMPARE(d->Modelo->text(), QStringLiteral("M1        "));
        // A name that is no model brings back the first one.
        d->Modelo->setCurrentIndex(1);
        QCOMPARE(d->Modelo->text(), QStringLiteral("M'2       "));
        d->Modelo->lineEdit()->clear();
        QTest::keyClicks(d->Modelo->lineEdit(), QStringLiteral("Z"));
        QCOMPARE(d->Modelo->text(), QStringLiteral("M1        "));

        // No: nothing goes, the window stays.
        d->Modelo->setCurrentIndex(1);
        a.msgs.responde(Mensagens::Resposta::Nao);
        clica(d->ApagaButton);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QCOMPARE(a.msgs.mostradas[0].texto, QStringLiteral("Deseja apagar o modelo?"));
        QCOMPARE(a.msgs.mostradas[0].titulo, QStringLiteral("Apagar"));
        QVERIFY(a.msgs.mostradas[0].botoes == Mensagens::Botoes::SimNao);
        QVERIFY(a.msgs.mostradas[0].icone == Mensagens::Icone::Exclamacao);
        QVERIFY(d->isVisible());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 2);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet"), 6);

        // Yes: the header and all its items go, the other model stays whole.
        a.msgs.responde(Mensagens::Resposta::Sim);
        clica(d->ApagaButton);
        apagaPendentes();
        QVERIFY(d.isNull());
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt"), 1);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Modexptxt WHERE Modelo = ?", { nomeModeloGuardado("M1") }), 1);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet WHERE modelo = ?", { "M1" }), 3);
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM modexptxtdet"), 3);

        // A failure on the items keeps the header too, says so, and leaves the window open.
        QVERIFY(corre(db, QStringLiteral("DROP TABLE modexptxtdet")));
        d = new Del_Modelo(a.sessao);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->show();
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Sim);
        clica(d->ApagaButton);
        QCOMPARE(a.msgs.mostradas.size(), 2);
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
        Cod_Modelo c(a.sessao);
        c.show();
        QCOMPARE(c.windowTitle(), QStringLiteral("Codificação do modelo MOD1"));
        QCOMPARE(c.tipocod->text(), QStringLiteral("Nome do Ficheiro"));
        QCOMPARE(c.tipocod->rowCount(), 6);

        // A text that names no item: no window, the code stays, focus on the list.
        c.tipocod->setEditText(QStringLiteral("Linha"));
        clica(c.CodButton);
        QCOMPARE(a.sessao.gItemCodigo, qint16(9));
        QCOMPARE(c.focusWidget(), c.tipocod);
        c.tipocod->setEditText(QString());
        clica(c.CodButton);
        QCOMPARE(a.sessao.gItemCodigo, qint16(9));

        // Code 0 opens the file-name coding, any other the line coding; the list starts over after each.
        QStringList abertas;
        auto regista = [&](QDialog *d) {
            abertas << QStringLiteral("%1 %2 %3").arg(d->objectName()).arg(a.sessao.gItemCodigo).arg(a.sessao.gItemNome);
            d->reject();
        };
        c.tipocod->setCurrentIndex(3);
        quandoModal(QStringLiteral("Cod_det"), regista);
        clica(c.CodButton);
        QCOMPARE(c.tipocod->text(), QStringLiteral("Nome do Ficheiro"));
        QCOMPARE(c.tipocod->rowCount(), 6);
        quandoModal(QStringLiteral("Cod_nome"), regista);
        clica(c.CodButton);
        QCOMPARE(abertas, QStringList({ "Cod_det 3 Linha de Detalhe", "Cod_nome 0 Nome do Ficheiro" }));

        // Whatever its text, code 0 is the file name; of two equal texts the first is coded;
        // the item's name is trimmed.
        QVERIFY(corre(db, QStringLiteral("DELETE FROM MenusMod WHERE TipoMenu = 1")));
        for (const auto &[codigo, texto] : { std::pair { 0, " Ficheiro " }, { 5, "Linha Final" }, { 8, "Linha Final" } })
            QVERIFY(corre(db, QStringLiteral("INSERT INTO MenusMod (TipoMenu, Codigo, Designacao) VALUES (1, ?, ?)"),
                { codigo, QString::fromUtf8(texto) }));
        clica(c.CancelButton);
        QVERIFY(!c.isVisible());
        Cod_Modelo c2(a.sessao);
        c2.show();
        QCOMPARE(c2.tipocod->text(), QStringLiteral(" Ficheiro "));
        abertas.clear();
        quandoModal(QStringLiteral("Cod_nome"), regista);
        clica(c2.CodButton);
        c2.tipocod->setEditText(QStringLiteral("Linha Final"));
        quandoModal(QStringLiteral("Cod_det"), regista);
        clica(c2.CodButton);
        QCOMPARE(abertas, QStringList({ "Cod_nome 0 Ficheiro", "Cod_det 5 Linha Final" }));
        QCOMPARE(c2.tipocod->text(), QStringLiteral(" Ficheiro "));

        // An empty list: nothing happens.
        QVERIFY(corre(db, QStringLiteral("DELETE FROM MenusMod WHERE TipoMenu = 1")));
        Cod_Modelo c3(a.sessao);
        c3.show();
        QCOMPARE(c3.tipocod->rowCount(), 0);
        c3.tipocod->setEditText(QStringLiteral("Linha Final"));
        a.sessao.gItemCodigo = 4;
        clica(c3.CodButton);
        QCOMPARE(a.sessao.gItemCodigo, qint16(4));
        QCOMPARE(a.msgs.mostradas.size(), 0);
    }

    void simulacao()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QSqlDatabase db = a.db();
        QVERIFY(criaFirma(db, QStringLiteral("F1"), QStringLiteral("Um")));
        QVERIFY(criaFirma(db, QStringLiteral("F2"), QStringLiteral("Dois")));
        QVERIFY(a.entra(QStringLiteral("F1"), 2024, 3));
        a.sessao.gDataProc = QStringLiteral("15-03-2024");
        a.sessao.gTipoExp = QStringLiteral("X");

        auto abre = [&](const QString &esperado) {
            Sim_Modelo s(a.sessao);
            s.show();
            QCOMPARE(s.Text2->text(), esperado);
            QCOMPARE(a.sessao.gTipoExp, QStringLiteral("D"));
            QVERIFY(!s.Modelo->isVisible());
            QVERIFY(!s.Label1->isVisible());
            QCOMPARE(s.DTPicker1->date(), QDate(2024, 3, 15));
            QCOMPARE(s.DTPicker1->x(), 200 / 15);
            QCOMPARE(s.Text2->x(), 3720 / 15);
            QCOMPARE(s.width(), 400);
            clica(s.SimButton);
            clica(s.CancelButton);
            QVERIFY(!s.isVisible());
        };
        abre(QStringLiteral("1"));
        QCOMPARE(a.msgs.mostradas.size(), 0);

        const QString ins = QStringLiteral("INSERT INTO Molvar (Ref, CodFirma, Mes, Ano, Valor, Diario, NumDiario) VALUES (?, ?, 1, 2024, 0, ?, ?)");
        QVERIFY(corre(db, ins, { 1, "F1", "01", 7 }));
        QVERIFY(corre(db, ins, { 2, "F1", "02", 41 }));
        QVERIFY(corre(db, ins, { 3, "F1", "01", QVariant() }));
        QVERIFY(corre(db, ins, { 4, "F2", "01", 500 }));
        a.sessao.gTipoExp = QStringLiteral("X");
        abre(QStringLiteral("42"));
        // Beyond a 16-bit number it is still the next one.
        QVERIFY(corre(db, ins, { 5, "F1", "01", 40000 }));
        abre(QStringLiteral("40001"));
        QCOMPARE(conta(db, "SELECT COUNT(*) FROM Molvar"), 5);
        QCOMPARE(a.msgs.mostradas.size(), 0);

        // An unreadable database: said plainly, no number shown.
        a.sessao.gLigacao1 = QStringLiteral("Driver=Nenhum;");
        Sim_Modelo s(a.sessao);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível ler o número do diário.")));
        QVERIFY(s.Text2->text().isEmpty());
    }
};

QTEST_MAIN(TstModelos)
#include "tst_modelos.moc"
