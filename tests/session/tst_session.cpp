#include "accruals/procuras.h"
#include "core/connection.h"
#include "core/datacombo.h"
#include "core/datagrid.h"
#include "core/espera.h"
#include "core/inifile.h"
#include "core/schema.h"
#include "core/senha.h"
#include "models/cod_det.h"
#include "models/cod_modelo.h"
#include "models/cod_nome.h"
#include "models/del_modelo.h"
#include "models/modelos_txt.h"
#include "models/new_modelo.h"
#include "models/sim_modelo.h"
#include "reports/totconta.h"
#include "session/arranque.h"
#include "session/main_confsql.h"
#include "session/mdiform1.h"
#include "session/molvarentrada.h"
#include "session/molvarinsfirma.h"
#include "session/paramfirmadlg.h"
#include "session/senhaadmin.h"
#include "support/ambiente.h"
#include "support/fixtures.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>
#include <functional>
#include <memory>

namespace {
void escreve(QLineEdit *campo, const QString &texto)
{
    campo->clear();
    QTest::keyClicks(campo, texto);
}

void clica(QPushButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton);
}

void apagaPendentes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <typename T> T *abertoEm(QWidget *pai)
{
    apagaPendentes();
    for (T *d : pai->findChildren<T *>())
        if (d->isVisible())
            return d;
    return nullptr;
}

MDIForm1 *janelaPrincipal()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *m = qobject_cast<MDIForm1 *>(w); m && m->isVisible())
            return m;
    return nullptr;
}

// Saves a picture of a window for the README when MOLVAR_CAPTURAS names a folder.
void captura(QWidget *w, const QString &nome)
{
    const QString pasta = qEnvironmentVariable("MOLVAR_CAPTURAS");
    if (pasta.isEmpty() || Ambiente::usaPostgres())
        return;
    w->grab().save(QDir(pasta).filePath(nome));
}

// What a user would find cut or covered in window w (a top-level window, or the window inside
// a frame of the main window's area), one line per fault: a grid caption wider than its
// column; a grid whose columns run past its view while the window could still grow in the
// room it has; a label, or a box for a field of up to 50 characters, whose text does not
// fit; a control past the edge of what holds it; and controls of one container that overlap.
QStringList defeitosDeDesenho(QWidget *w)
{
    QStringList defeitos;
    const auto *moldura = qobject_cast<QMdiSubWindow *>(w->parentWidget());
    const int largura = moldura ? moldura->width() : w->width();
    const int espaco = moldura ? moldura->mdiArea()->viewport()->width() : w->screen()->availableGeometry().width();
    auto diz = [&](const QWidget *c, const QString &falta) {
        defeitos << QStringLiteral("%1 (%2 pt) %3: %4")
                        .arg(w->objectName())
                        .arg(w->font().pointSize())
                        .arg(c->objectName().isEmpty() ? QString::fromLatin1(c->metaObject()->className()) : c->objectName(),
                            falta);
    };
    std::function<void(QWidget *)> confere = [&](QWidget *pai) {
        const QList<QWidget *> filhos = pai->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QList<QWidget *> vistos;
        for (QWidget *c : filhos)
            if (c->isVisible() && !c->isWindow())
                vistos << c;
        for (int i = 0; i < vistos.size(); ++i) {
            QWidget *c = vistos[i];
            if (!pai->rect().contains(c->geometry()))
                diz(c, QStringLiteral("passa além de %1").arg(pai->objectName()));
            for (int j = i + 1; j < vistos.size(); ++j)
                if (c->geometry().intersects(vistos[j]->geometry()))
                    diz(c, QStringLiteral("sobrepõe-se a %1").arg(vistos[j]->objectName()));
            if (auto *l = qobject_cast<QLabel *>(c); l && !l->text().isEmpty()) {
                if (l->wordWrap() ? l->heightForWidth(l->width()) > l->height() : l->sizeHint().width() > l->width())
                    diz(c, QStringLiteral("texto \"%1\" cortado").arg(l->text()));
            } else if (auto *e = qobject_cast<QLineEdit *>(c);
                       e && e->maxLength() <= 50 && e->echoMode() == QLineEdit::Normal && !e->text().isEmpty()) {
                // Shown from its start (a box scrolls as it paints), its right edge falls past its last letter.
                e->setCursorPosition(0);
                e->repaint();
                if (e->cursorPositionAt(QPoint(e->width() - 4, e->height() / 2)) < e->text().size())
                    diz(c, QStringLiteral("texto \"%1\" cortado").arg(e->text()));
            }
            if (auto *v = qobject_cast<QAbstractItemView *>(c)) {
                for (const QHeaderView *h : v->findChildren<QHeaderView *>(Qt::FindDirectChildrenOnly)) {
                    if (h->orientation() != Qt::Horizontal || h->isHidden())
                        continue;
                    const int vista = h->viewport()->width();
                    const int margem = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
                    for (int s = 0; s < h->count(); ++s) {
                        const int x = h->sectionViewportPosition(s);
                        if (h->isSectionHidden(s) || x >= vista || x + h->sectionSize(s) <= 0)
                            continue;
                        const QString titulo = h->model()->headerData(s, Qt::Horizontal).toString();
                        if (h->fontMetrics().horizontalAdvance(titulo) + margem > h->sectionSize(s))
                            diz(c, QStringLiteral("título \"%1\" cortado").arg(titulo));
                    }
                    if (h->length() > vista && largura < espaco)
                        diz(c,
                            QStringLiteral("colunas além da vista (%1 de %2 px) numa janela de %3 px que pode ter %4")
                                .arg(h->length())
                                .arg(vista)
                                .arg(largura)
                                .arg(espaco));
                }
            }
            // The parts of a grid, a list or a number box are theirs to place; the main
            // window's area holds frames that may overlap, each seen on its own.
            if (!qobject_cast<QAbstractScrollArea *>(c) && !qobject_cast<QComboBox *>(c) && !qobject_cast<QAbstractSpinBox *>(c))
                confere(c);
        }
    };
    confere(w);
    return defeitos;
}

bool temItem(QWidget *w, const char *nome)
{
    return w->findChild<QAction *>(QString::fromLatin1(nome)) != nullptr;
}
} // namespace

class TstSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void instalacaoFirmaEntradaESaida()
    {
        Ambiente a(false);
        QVERIFY2(a.ok(), qPrintable(a.erro()));

        // A fresh install: no database, so only its installation is offered.
        QPointer<Molvarentrada> e = iniciaPrograma(a.sessao);
        QVERIFY(e->isVisible());
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Configure as Ligações SQL ou Instale Base de Dados!")));
        QVERIFY(e->instalar_bd->isEnabled());
        QVERIFY(!e->criar_firma->isEnabled());
        QVERIFY(!e->Validar->isEnabled());
        QCOMPARE(e->instalar_bd->text(), QStringLiteral("Instalar Base de Dados"));
        QCOMPARE(e->criar_firma->text(), QStringLiteral("Criar Firma"));

        // The administrator's password is asked for, twice and long enough; only its hash is kept.
        e->instalar_bd->trigger();
        SenhaAdmin *senha = abertoEm<SenhaAdmin>(e);
        QVERIFY(senha);
        escreve(senha->Senha1, QStringLiteral("curta7!"));
        escreve(senha->Senha2, QStringLiteral("curta7!"));
        clica(senha->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha tem de ter pelo menos 8 caracteres!"));
        // Blanks or invisible characters alone are no password.
        for (const char16_t c : { u' ', u'\u200B', u'\uFEFF', u'\u2060', u'\u3164', u'\u2800', u'\u180E' }) {
            senha->Senha1->setText(QString(8, QChar(c)));
            senha->Senha2->setText(senha->Senha1->text());
            clica(senha->OKButton);
            QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha não pode ser feita só de espaços ou de caracteres invisíveis!"));
        }
        // Past the limit of every password box: refused by name, nothing cut.
        senha->Senha1->setText(QString(120, QLatin1Char('x')));
        senha->Senha2->setText(senha->Senha1->text());
        clica(senha->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha não pode ter mais de 100 caracteres!"));
        QCOMPARE(senha->Senha1->text().size(), 120);
        // Length counts characters, not UTF-16 units.
        senha->Senha1->setText(QStringLiteral("\U0001F600\U0001F600\U0001F600\U0001F600"));
        senha->Senha2->setText(senha->Senha1->text());
        clica(senha->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha tem de ter pelo menos 8 caracteres!"));
        escreve(senha->Senha1, QStringLiteral("Nova-Senha-7"));
        escreve(senha->Senha2, QStringLiteral("Nova-Senha-8"));
        clica(senha->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("As duas senhas não são iguais!"));
        QVERIFY(senha->isVisible());
        QVERIFY(!e->Validar->isEnabled());
        escreve(senha->Senha2, QStringLiteral("Nova-Senha-7"));
        clica(senha->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Base de Dados Criada!"));
        if (!Ambiente::usaPostgres()) {
            // The books and the password hashes are for the owner's eyes only.
            for (const char *f : { "molvar.db", "molvar.db-wal", "molvar.db-shm" })
                QCOMPARE(QFileInfo(a.pasta() + "/" + f).permissions() & ~QFile::Permissions(0x0700),
                    QFile::ReadOwner | QFile::WriteOwner);
        }
        const QString guardada = valorUnico(a.db(), "SELECT passw FROM EUsers WHERE Login = 'admin'").toString();
        QVERIFY(!guardada.contains(QStringLiteral("Nova-Senha-7")));
        QVERIFY(confereSenha(QStringLiteral("Nova-Senha-7"), guardada));
        // The hash check itself refuses an empty password, not only the login window.
        QVERIFY(!confereSenha(QString(), guardada));
        // Every byte of the hash counts, not only the last.
        QStringList partes = guardada.split(QLatin1Char('$'));
        QByteArray resumo = QByteArray::fromBase64(partes.last().toLatin1());
        resumo[0] = static_cast<char>(resumo[0] ^ 1);
        partes.last() = QString::fromLatin1(resumo.toBase64());
        QVERIFY(!confereSenha(QStringLiteral("Nova-Senha-7"), partes.join(QLatin1Char('$'))));
        QVERIFY(!e->instalar_bd->isEnabled());
        QVERIFY(e->criar_firma->isEnabled());
        QVERIFY(e->Validar->isEnabled());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM EUsers"), 1);
        QCOMPARE(e->DataCombo1->rowCount(), 0);

        // Company codes that cannot be: each refused with its message, nothing written.
        e->criar_firma->trigger();
        MolvarInsFirma *ins = abertoEm<MolvarInsFirma>(e);
        QVERIFY(ins);
        a.msgs.limpa();
        escreve(ins->Text2, QStringLiteral(" Firma Um, Lda "));
        clica(ins->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Indique o código da firma!"));
        escreve(ins->Text1, QStringLiteral("12345"));
        clica(ins->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O código da firma tem no máximo 4 caracteres!"));
        // The code names the company's workbooks: nothing a file name cannot hold.
        for (const QString &codigo : { QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("a\tb") }) {
            ins->Text1->setText(codigo);
            clica(ins->OKButton);
            QCOMPARE(a.msgs.ultimo(), QStringLiteral("O código da firma não pode ter \"/\", \"\\\" nem caracteres de controlo!"));
        }
        QVERIFY(ins->isVisible());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma"), 0);

        // A good one: the company is listed and its parameters are asked for at once.
        escreve(ins->Text1, QStringLiteral("F01"));
        a.msgs.limpa();
        clica(ins->OKButton);
        QVERIFY(a.msgs.textos().isEmpty());
        QVERIFY(!ins->isVisible());
        QCOMPARE(
            conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE CodFirma = ? AND Designacao = ? AND SNC = 0 AND Planos_Ext = 0",
                { "F01", "Firma Um, Lda" }),
            1);
        QCOMPARE(e->DataCombo1->rowCount(), 1);
        QCOMPARE(e->DataCombo1->text(), QStringLiteral("F01"));
        QCOMPARE(e->NomeFirma->text(), QStringLiteral("Firma Um, Lda"));
        // Codes are told apart by case.
        e->DataCombo1->setText(QStringLiteral("f01"));
        QVERIFY(e->NomeFirma->text().isEmpty());
        e->DataCombo1->setText(QStringLiteral("F01"));

        ParamFirmaDlg *par = abertoEm<ParamFirmaDlg>(e);
        QVERIFY(par);
        QCOMPARE(par->objectName(), QStringLiteral("Param_Firma"));
        QCOMPARE(par->Designacao->text(), QStringLiteral("Firma Um, Lda"));
        par->PlanosExt->setChecked(true);
        clica(par->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Escolha a aplicação externa onde estão os planos!"));
        par->TipoLig->setCurrentIndex(par->TipoLig->findData(QStringLiteral("S")));
        escreve(par->EmpCtb, QStringLiteral("12345"));
        clica(par->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O código da firma na aplicação externa tem no máximo 4 caracteres!"));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE Planos_Ext = 0"), 1);
        escreve(par->EmpCtb, QStringLiteral("E7"));
        par->AnaExt->setChecked(true);
        // A prefix wider than the totals export's work table is refused by name.
        escreve(par->Analitica, QStringLiteral("6*12345678901234567890123*7"));
        clica(par->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O prefixo de conta \"12345678901234567890123\" tem mais de 22 caracteres!"));
        QVERIFY(par->isVisible());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE Planos_Ext = 0"), 1);
        escreve(par->Analitica, QStringLiteral("6*7"));
        clica(par->OKButton);
        QVERIFY(!par->isVisible());
        QCOMPARE(conta(a.db(),
                     "SELECT COUNT(*) FROM ParamFirma WHERE CodFirma = ? AND Planos_Ext = 1 AND Tipo_Lig = ? AND EmpCtb = ? "
                     "AND Ana_Ext = 1 AND Analitica = ? AND SNC = 0",
                     { "F01", "S", "E7", "6*7" }),
            1);
        // Opened again, it shows what was saved; the two flags are saved apart.
        e->param_firma->trigger();
        par = abertoEm<ParamFirmaDlg>(e);
        QVERIFY(par);
        QCOMPARE(par->EmpCtb->text(), QStringLiteral("E7"));
        QCOMPARE(par->Analitica->text(), QStringLiteral("6*7"));
        QCOMPARE(par->TipoLig->currentData().toString(), QStringLiteral("S"));
        QVERIFY(par->PlanosExt->isChecked() && par->AnaExt->isChecked());
        par->PlanosExt->setChecked(false);
        clica(par->OKButton);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE Planos_Ext = 0 AND Ana_Ext = 1"), 1);
        e->param_firma->trigger();
        par = abertoEm<ParamFirmaDlg>(e);
        QVERIFY(par && !par->PlanosExt->isChecked() && par->AnaExt->isChecked());
        clica(par->CancelButton);

        // The same code again is refused.
        e->criar_firma->trigger();
        ins = abertoEm<MolvarInsFirma>(e);
        QVERIFY(ins);
        escreve(ins->Text1, QStringLiteral("F01"));
        escreve(ins->Text2, QStringLiteral("Outra"));
        clica(ins->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A firma \"F01\" já existe!"));
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE Designacao = ?", { "Firma Um, Lda" }), 1);
        clica(ins->CancelButton);

        // Wrong password, unknown user, a date that is not a date: refused, nothing set.
        QSignalSpy entrou(e.data(), &Molvarentrada::entrou);
        escreve(e->Utilizador, QStringLiteral("admin"));
        escreve(e->Senha, QStringLiteral("Admin"));
        escreve(e->DTPicker1, QStringLiteral("15-03-2024"));
        clica(e->Validar);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Utilizador ou Senha Inválidos!"));
        QVERIFY(e->Senha->text().isEmpty());
        escreve(e->Senha, QStringLiteral("admin"));
        clica(e->Validar);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Utilizador ou Senha Inválidos!"));
        escreve(e->Utilizador, QStringLiteral("ninguem"));
        escreve(e->Senha, QStringLiteral("Nova-Senha-7"));
        clica(e->Validar);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Utilizador ou Senha Inválidos!"));
        // The login box has the same limit, and says so.
        e->Senha->setText(QString(120, QLatin1Char('x')));
        clica(e->Validar);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha não pode ter mais de 100 caracteres!"));
        escreve(e->Utilizador, QStringLiteral("admin"));
        escreve(e->Senha, QStringLiteral("Nova-Senha-7"));
        escreve(e->DTPicker1, QStringLiteral("31-02-2024"));
        clica(e->Validar);
        QVERIFY(a.msgs.ultimo().contains(QStringLiteral("não é uma data válida")));
        escreve(e->DTPicker1, QStringLiteral("2024-03-15"));
        clica(e->Validar);
        QVERIFY(a.msgs.ultimo().contains(QStringLiteral("não é uma data válida")));
        QCOMPARE(entrou.count(), 0);
        QVERIFY(a.sessao.gCodFirma.isEmpty());
        QCOMPARE(a.sessao.gAno, 0);
        QVERIFY(e->isVisible());

        // The right password for a company that is not there.
        escreve(e->DTPicker1, QStringLiteral("15-03-2024"));
        e->DataCombo1->setText(QStringLiteral("F99"));
        clica(e->Validar);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A firma \"F99\" não existe!"));
        e->DataCombo1->setText(QStringLiteral("F01"));

        // The right password: the session is set and the main window takes over.
        a.msgs.limpa();
        escreve(e->DTPicker1, QStringLiteral("15-03-2024"));
        clica(e->Validar);
        QCOMPARE(entrou.count(), 1);
        QVERIFY(a.msgs.textos().isEmpty());
        QCOMPARE(a.sessao.gCodFirma, QStringLiteral("F01"));
        QCOMPARE(a.sessao.gNomeFirma, QStringLiteral("Firma Um, Lda"));
        QCOMPARE(a.sessao.gAno, 2024);
        QCOMPARE(a.sessao.gMes, 3);
        QCOMPARE(a.sessao.gDataProc, QStringLiteral("15-03-2024"));
        QCOMPARE(a.sessao.gLogin, QStringLiteral("admin"));
        QCOMPARE(a.sessao.gNomeUtilizador, QStringLiteral("Administrador"));
        QVERIFY(a.sessao.gAdmin);
        QVERIFY(!a.sessao.gPlanosExt);
        QCOMPARE(a.sessao.gTipoLig, QStringLiteral("S"));
        QCOMPARE(a.sessao.gEmpCtb, QStringLiteral("E7"));
        QVERIFY(a.sessao.gAnaExt);
        QCOMPARE(a.sessao.gAnalitica, QStringLiteral("6*7"));
        QVERIFY(!a.sessao.gSnc);
        apagaPendentes();
        QVERIFY(e.isNull());

        QPointer<MDIForm1> m = janelaPrincipal();
        QVERIFY(m);
        QCOMPARE(m->StatusFirma->text(), QStringLiteral("F01"));
        QCOMPARE(m->StatusNome->text(), QStringLiteral("Firma Um, Lda"));
        QCOMPARE(m->StatusData->text(), QStringLiteral("15-03-2024"));

        // Leaving remembers the company and date in the single row.
        SQL_OK(a.db(), "INSERT INTO MolvarLastUse (CodFirma, LastUse) VALUES ('XX', '01-01-2000')");
        m->findChild<QAction *>(QStringLiteral("mnu_sair"))->trigger();
        apagaPendentes();
        QVERIFY(m.isNull());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM MolvarLastUse"), 1);
        QCOMPARE(
            conta(a.db(), "SELECT COUNT(*) FROM MolvarLastUse WHERE CodFirma = ? AND LastUse = ?", { "F01", "15-03-2024" }), 1);

        // The next start offers them.
        a.msgs.limpa();
        Molvarentrada outra(a.sessao);
        QVERIFY(a.msgs.textos().isEmpty());
        QCOMPARE(outra.DataCombo1->text(), QStringLiteral("F01"));
        QCOMPARE(outra.NomeFirma->text(), QStringLiteral("Firma Um, Lda"));
        QCOMPARE(outra.DTPicker1->text(), QStringLiteral("15-03-2024"));
        QVERIFY(!outra.instalar_bd->isEnabled());
    }

    void senhasGuardadasComoResumo()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Alfa"));
        SQL_OK(a.db(), "INSERT INTO EUsers (Login, passw, Nome, Admin) VALUES (?, ?, ?, 0)", "ana", hashSenha("Segr3do'"),
            "Ana Sousa");
        // A password kept as typed is not a hash: it never opens the door.
        SQL_OK(a.db(), "INSERT INTO EUsers (Login, passw, Nome, Admin) VALUES (?, ?, ?, 0)", "rui", "simples", "Rui");
        // Nor does an empty password, even over the hash of an empty one.
        SQL_OK(a.db(), "INSERT INTO EUsers (Login, passw, Nome, Admin) VALUES (?, ?, ?, 0)", "eva", hashSenha(""), "Eva");
        // A database installed when the totals export's work table held user names of 25
        // characters: the start-up widens it, as installing is offered only on a failing database.
        if (Ambiente::usaPostgres())
            SQL_OK(a.db(), "ALTER TABLE RestAnal ALTER COLUMN Utilizador TYPE varchar(25)");

        Molvarentrada e(a.sessao);
        e.show();
        QVERIFY(!e.instalar_bd->isEnabled());
        SQL_OK(a.db(), "INSERT INTO RestAnal (CodFirma, RestContas, Utilizador) VALUES ('0001', '6', ?)", QString(50, 'N'));
        QSignalSpy entrou(&e, &Molvarentrada::entrou);
        e.DataCombo1->setText(QStringLiteral("0001"));
        escreve(e.DTPicker1, QStringLiteral("1-7-2025"));
        const QList<QPair<QString, QString>> recusados = { { "rui", "simples" }, { "ana", "segr3do'" }, { "ana' OR '1'='1", "x" },
            { "ana", "' OR '1'='1" }, { "ANA", "Segr3do'" }, { "ana", "" }, { "eva", "" }, { "admin", "" } };
        for (const auto &[login, senha] : recusados) {
            a.msgs.limpa();
            escreve(e.Utilizador, login);
            escreve(e.Senha, senha);
            clica(e.Validar);
            QCOMPARE(a.msgs.ultimo(), QStringLiteral("Utilizador ou Senha Inválidos!"));
        }
        QCOMPARE(entrou.count(), 0);
        // Enter moves from field to field, and in the date validates.
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        escreve(e.Utilizador, QStringLiteral("ana"));
        e.Utilizador->setFocus();
        QTest::keyClick(e.Utilizador, Qt::Key_Return);
        QVERIFY(e.Senha->hasFocus());
        QTest::keyClicks(e.Senha, QStringLiteral("Segr3do'"));
        QTest::keyClick(e.Senha, Qt::Key_Return);
        QVERIFY(e.DataCombo1->hasFocus());
        QTest::keyClick(e.DataCombo1, Qt::Key_Return);
        QVERIFY(e.DTPicker1->hasFocus());
        QCOMPARE(entrou.count(), 0);
        QTest::keyClick(e.DTPicker1, Qt::Key_Return);
        QCOMPARE(entrou.count(), 1);
        QCOMPARE(a.sessao.gLogin, QStringLiteral("ana"));
        QCOMPARE(a.sessao.gNomeUtilizador, QStringLiteral("Ana Sousa"));
        QVERIFY(!a.sessao.gAdmin);
        QCOMPARE(a.sessao.gDataProc, QStringLiteral("01-07-2025"));
        QCOMPARE(a.sessao.gMes, 7);

        // A database installed with the old default password: the first login with it
        // chooses a new one before the session starts.
        SQL_OK(a.db(), "UPDATE EUsers SET passw = ? WHERE Login = 'admin'", hashSenha("admin"));
        Molvarentrada e2(a.sessao);
        e2.show();
        QSignalSpy entrou2(&e2, &Molvarentrada::entrou);
        e2.DataCombo1->setText(QStringLiteral("0001"));
        escreve(e2.DTPicker1, QStringLiteral("1-7-2025"));
        escreve(e2.Utilizador, QStringLiteral("admin"));
        escreve(e2.Senha, QStringLiteral("admin"));
        clica(e2.Validar);
        SenhaAdmin *nova = abertoEm<SenhaAdmin>(&e2);
        QVERIFY(nova);
        QCOMPARE(entrou2.count(), 0);
        clica(nova->CancelButton);
        QCOMPARE(entrou2.count(), 0);
        QVERIFY(confereSenha("admin", valorUnico(a.db(), "SELECT passw FROM EUsers WHERE Login = 'admin'").toString()));
        escreve(e2.Senha, QStringLiteral("admin"));
        clica(e2.Validar);
        nova = abertoEm<SenhaAdmin>(&e2);
        QVERIFY(nova);
        escreve(nova->Senha1, QStringLiteral("admin"));
        escreve(nova->Senha2, QStringLiteral("admin"));
        a.msgs.limpa();
        clica(nova->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha tem de ter pelo menos 8 caracteres!"));
        nova->Senha1->setText(QStringLiteral("\t\u00A0      "));
        nova->Senha2->setText(nova->Senha1->text());
        clica(nova->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha não pode ser feita só de espaços ou de caracteres invisíveis!"));
        QCOMPARE(entrou2.count(), 0);
        // Another workstation changes the password while the dialog is open: its hash stays.
        {
            QSqlDatabase outra = QSqlDatabase::cloneDatabase(a.db(), QStringLiteral("outro-posto"));
            QVERIFY(outra.open());
            SQL_OK(outra, "UPDATE EUsers SET passw = ? WHERE Login = 'admin'", hashSenha("Do-Outro-Posto-1"));
            outra.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("outro-posto"));
        // The repeat typed with its accent apart (NFD) is the same password.
        escreve(nova->Senha1, QStringLiteral("Outra-Senha-Ç9"));
        nova->Senha2->setText(QStringLiteral("Outra-Senha-Ç9").normalized(QString::NormalizationForm_D));
        a.msgs.limpa();
        clica(nova->OKButton);
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("A senha deste utilizador foi alterada entretanto. Entre de novo."));
        QCOMPARE(entrou2.count(), 0);
        QVERIFY(confereSenha(
            QStringLiteral("Do-Outro-Posto-1"), valorUnico(a.db(), "SELECT passw FROM EUsers WHERE Login = 'admin'").toString()));
        SQL_OK(a.db(), "UPDATE EUsers SET passw = ? WHERE Login = 'admin'", hashSenha("admin"));
        escreve(e2.Senha, QStringLiteral("admin"));
        clica(e2.Validar);
        nova = abertoEm<SenhaAdmin>(&e2);
        QVERIFY(nova);
        // 100 characters, the last an emoji: kept whole.
        const QString cheia = QString(99, QLatin1Char('a')) + QStringLiteral("\U0001F600");
        nova->Senha1->setText(cheia);
        nova->Senha2->setText(cheia);
        clica(nova->OKButton);
        QCOMPARE(entrou2.count(), 1);
        QCOMPARE(a.sessao.gLogin, QStringLiteral("admin"));
        const QString guardada = valorUnico(a.db(), "SELECT passw FROM EUsers WHERE Login = 'admin'").toString();
        bool cortada = true;
        QVERIFY(confereSenha(cheia, guardada, &cortada));
        QVERIFY(!cortada);
        QVERIFY(!confereSenha(QStringLiteral("admin"), guardada));

        // Passwords kept by earlier versions that today's rules refuse (blanks alone; 120
        // characters that their boxes cut at 100) still open the door, to choose a new one.
        e2.show();
        const QString longa = QString(60, QLatin1Char('y')) + QString(60, QLatin1Char('z'));
        for (const auto &[antiga, escrita] :
            { std::pair { QString(8, QLatin1Char(' ')), QString(8, QLatin1Char(' ')) }, std::pair { longa.left(100), longa } }) {
            SQL_OK(a.db(), "UPDATE EUsers SET passw = ? WHERE Login = 'admin'", hashSenha(antiga));
            e2.Senha->setText(escrita);
            a.msgs.limpa();
            clica(e2.Validar);
            nova = abertoEm<SenhaAdmin>(&e2);
            QVERIFY2(nova, qPrintable(a.msgs.ultimo()));
            QVERIFY(nova->Explicacao->text().contains(senhaRecusada(escrita)));
            clica(nova->CancelButton);
        }
        QCOMPARE(entrou2.count(), 1);
        // The same password typed with its accents apart (NFD) is the same password.
        const QString acentos = QStringLiteral("Ação-Pêssego-Ünico");
        SQL_OK(a.db(), "UPDATE EUsers SET passw = ? WHERE Login = 'admin'", hashSenha(acentos));
        e2.Senha->setText(acentos.normalized(QString::NormalizationForm_D));
        clica(e2.Validar);
        QCOMPARE(entrou2.count(), 2);
        // Half an emoji, as those boxes kept 99 letters and an emoji: the whole password opens
        // the door, and is kept whole from then on.
        SQL_OK(a.db(), "UPDATE EUsers SET passw = ? WHERE Login = 'admin'", hashSenha(cheia.left(100)));
        e2.Senha->setText(cheia);
        clica(e2.Validar);
        QCOMPARE(entrou2.count(), 3);
        cortada = true;
        QVERIFY(confereSenha(cheia, valorUnico(a.db(), "SELECT passw FROM EUsers WHERE Login = 'admin'").toString(), &cortada));
        QVERIFY(!cortada);
    }

    void guardasDosMenusSemDados()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        a.sessao.gAnaliticaAtiva = true;
        MDIForm1 m(a.sessao);
        QCOMPARE(m.objectName(), QStringLiteral("MDIForm1"));
        QCOMPARE(m.mdiArea->objectName(), QStringLiteral("mdiArea"));
        QVERIFY(a.msgs.textos().isEmpty());

        // Every item is offered.
        for (const char *nome : { "nova_poc", "apaga_poc", "cons_poc", "novo_analit", "apaga_analit", "cons_analit",
                 "mnu_manut_list", "tot_cpoc", "mnu_import", "conv_snc" })
            QVERIFY2(temItem(&m, nome), nome);
        QAction *config = m.findChild<QAction *>(QStringLiteral("config_sql_connect"));
        QVERIFY(config);
        QCOMPARE(config->text(), QStringLiteral("&Configurações "));
        QCOMPARE(m.findChild<QAction *>(QStringLiteral("mnu_sair"))->text(), QStringLiteral("&Sair"));
        QMenu *planos = m.findChild<QMenu *>(QStringLiteral("mnu_planos"));
        QVERIFY(planos);
        QVERIFY(planos->menuAction()->isVisible());

        // No company or date: every guarded item stops at the guard.
        const QList<QPair<QString, void (MDIForm1::*)()>> guardados
            = { { "nova_poc", &MDIForm1::novaPoc }, { "apaga_poc", &MDIForm1::apagaPoc }, { "cons_poc", &MDIForm1::consPoc },
                  { "novo_analit", &MDIForm1::novoAnalit }, { "apaga_analit", &MDIForm1::apagaAnalit },
                  { "cons_analit", &MDIForm1::consAnalit }, { "mnu_import", &MDIForm1::mnuImport },
                  { "mnu_manut_list", &MDIForm1::mnuManutList }, { "tot_cpoc", &MDIForm1::totCpoc } };
        for (const auto &[nome, metodo] : guardados) {
            a.msgs.limpa();
            if (QAction *acao = m.findChild<QAction *>(nome))
                acao->trigger();
            else
                (m.*metodo)();
            QCOMPARE(a.msgs.textos(), QStringList { QStringLiteral("Dados iniciais não inicializados!") });
            QCOMPARE(a.msgs.mostradas.first().titulo, QStringLiteral("Aviso"));
            QCOMPARE(m.mdiArea->subWindowList().size(), 0);
        }
        // A year without a month is not enough either.
        a.sessao.gCodFirma = QStringLiteral("0001");
        a.sessao.gAno = 2024;
        a.msgs.limpa();
        m.consPoc();
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Dados iniciais não inicializados!"));
    }

    void planosNaAplicacaoExterna()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "EXT", "Externa", { true, "A", "9", false, "6", false }));
        QVERIFY(a.entra("EXT", 2024, 5));
        a.sessao.gAnaliticaAtiva = true;
        MDIForm1 m(a.sessao);
        QCOMPARE(m.StatusFirma->text(), QStringLiteral("EXT"));
        QCOMPARE(m.StatusNome->text(), QStringLiteral("Externa"));
        QCOMPARE(m.StatusData->text(), QStringLiteral("01-05-2024"));

        const QList<QPair<void (MDIForm1::*)(), QString>> casos
            = { { &MDIForm1::novaPoc, QStringLiteral("Abra Planos Na Aplicação Externa!") },
                  { &MDIForm1::apagaPoc, QStringLiteral("Apague Planos Na Aplicação Externa!") },
                  { &MDIForm1::novoAnalit, QStringLiteral("Abra Analitica Na Aplicação Externa!") },
                  { &MDIForm1::apagaAnalit, QStringLiteral("Apague Analitica Na Aplicação Externa!") } };
        for (const auto &[metodo, texto] : casos) {
            a.msgs.limpa();
            (m.*metodo)();
            QCOMPARE(a.msgs.textos(), QStringList { texto });
            QCOMPARE(a.msgs.mostradas.first().botoes, Mensagens::Botoes::Ok);
            QCOMPARE(a.msgs.mostradas.first().icone, Mensagens::Icone::Nenhum);
        }
        QCOMPARE(m.mdiArea->subWindowList().size(), 0);
        // The module on, but no cost centres in use: their consultation opens nothing.
        m.consAnalit();
        QCOMPARE(m.mdiArea->subWindowList().size(), 0);

        // Without the cost-centre module the cost-centre items do nothing at all;
        // without cost centres in use, neither does their consultation.
        a.sessao.gAnaliticaAtiva = false;
        a.msgs.limpa();
        m.novoAnalit();
        m.apagaAnalit();
        m.consAnalit();
        QVERIFY(a.msgs.textos().isEmpty());
        QCOMPARE(m.mdiArea->subWindowList().size(), 0);

        // With the charts at home no outside-package message is shown.
        a.sessao.gPlanosExt = false;
        a.msgs.limpa();
        m.novaPoc();
        m.apagaPoc();
        for (const QString &t : a.msgs.textos())
            QVERIFY2(!t.contains(QStringLiteral("Aplicação Externa")), qPrintable(t));
        QCOMPARE(m.mdiArea->subWindowList().size(), 2);
        // A single-instance window is brought forward, not opened twice.
        m.novaPoc();
        QCOMPARE(m.mdiArea->subWindowList().size(), 2);
    }

    void menusAbremAsJanelasNaJanelaPrincipal()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Firma Um", { false, "", "", true, "6", false }));
        QVERIFY(criaConta(a.db(), "0001", 2024, "6221", "Trabalhos especializados"));
        QVERIFY(criaMolvaralizacao(a.db(), { "0001", 1, "Seguro", "F1", 1200, 12, 2024, 1, "6261", "2721", "", "0" }));
        QVERIFY(criaMolvaralizacao(
            a.db(), { "0001", 2, "Renda do armazém", "FT24/17", 1800000, 12, 2024, 1, "6262", "2722", "CC01", "1" }));
        QVERIFY(criaMolvaralizacao(
            a.db(), { "0001", 3, "Avença de contabilidade", "FT88", 100000, 3, 2024, 4, "6226", "2721", "", "0" }));
        QVERIFY(a.entra("0001", 2024, 5));
        a.sessao.gAnaliticaAtiva = true;
        MDIForm1 m(a.sessao);
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));

        auto abertas = [&m] {
            QStringList r;
            for (QMdiSubWindow *sub : m.mdiArea->subWindowList())
                r << (sub->widget() ? sub->widget()->objectName() : QStringLiteral("(moldura vazia)"));
            r.sort();
            return r;
        };
        const char *itens[] = { "nova_poc", "apaga_poc", "cons_poc", "novo_analit", "apaga_analit", "cons_analit" };
        for (const char *item : itens) {
            QAction *acao = m.findChild<QAction *>(QString::fromLatin1(item));
            QVERIFY2(acao, item);
            acao->trigger();
        }
        QCOMPARE(abertas(), (QStringList { "ConsultAnalit", "ConsultPoc", "Del_Analit", "Del_cPoc", "New_Analit", "New_Poc" }));
        QVERIFY2(a.msgs.textos().isEmpty(), qPrintable(a.msgs.textos().join('|')));
        // The chart consultation shows the company's own chart.
        QMdiSubWindow *consulta = nullptr;
        for (QMdiSubWindow *sub : m.mdiArea->subWindowList())
            if (sub->widget()->objectName() == QLatin1String("ConsultPoc"))
                consulta = sub;
        QVERIFY(consulta);
        auto *grelha = consulta->widget()->findChild<DataGrid *>(QStringLiteral("DataGrid1"));
        QVERIFY(grelha);
        QCOMPARE(grelha->totalLinhas(), 1);
        QCOMPARE(grelha->valor(0, 2).toString(), QStringLiteral("6221"));

        // Single-instance windows are not opened twice; the accrual list opens anew at each click.
        m.findChild<QAction *>(QStringLiteral("cons_poc"))->trigger();
        QCOMPARE(m.mdiArea->subWindowList().size(), 6);
        QAction *lista = m.findChild<QAction *>(QStringLiteral("mnu_manut_list"));
        QVERIFY(lista);
        lista->trigger();
        lista->trigger();
        QCOMPARE(abertas().count(QStringLiteral("ConsultTable")), 2);
        m.findChild<QAction *>(QStringLiteral("tot_cpoc"))->trigger();
        m.findChild<QAction *>(QStringLiteral("tot_cpoc"))->trigger();
        QCOMPARE(abertas().count(QStringLiteral("Tot_conta")), 1);

        // The SNC conversion is offered while the company is not converted, and no longer
        // once a conversion has been committed.
        a.criaBaseExterna(QStringLiteral("S"));
        SQL_OK(a.dbExterna(), "INSERT INTO SNC_Conv (contapoc, contasnc) VALUES ('626', '627')");
        QAction *snc = m.findChild<QAction *>(QStringLiteral("conv_snc"));
        QVERIFY(snc);
        QVERIFY(snc->isEnabled());
        a.msgs.limpa();
        a.msgs.responde(Mensagens::Resposta::Nao);
        snc->trigger();
        QVERIFY(snc->isEnabled());
        a.msgs.responde(Mensagens::Resposta::Sim);
        snc->trigger();
        QVERIFY(!snc->isEnabled());
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM ParamFirma WHERE SNC = 1"), 1);
        QCOMPARE(conta(a.db(), "SELECT COUNT(*) FROM Molvar WHERE CPocDeb = '6271'"), 12);
        // The next login, through the start-up window, reads the company converted.
        {
            QPointer<Molvarentrada> e = iniciaPrograma(a.sessao);
            escreve(e->Utilizador, QStringLiteral("admin"));
            escreve(e->Senha, QString::fromLatin1(kSenhaAdminTeste));
            e->DataCombo1->setText(QStringLiteral("0001"));
            escreve(e->DTPicker1, QStringLiteral("01-05-2024"));
            clica(e->Validar);
            apagaPendentes();
            QVERIFY(e.isNull());
            QVERIFY(a.sessao.gSnc);
            QPointer<MDIForm1> outra;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *p = qobject_cast<MDIForm1 *>(w); p && p != &m)
                    outra = p;
            QVERIFY(outra);
            QVERIFY(!outra->findChild<QAction *>(QStringLiteral("conv_snc"))->isEnabled());
            outra->close();
            apagaPendentes();
        }

        // A window that closes itself leaves the main window able to open it again.
        consulta->widget()->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        QTRY_COMPARE(abertas().count(QStringLiteral("ConsultPoc")), 0);
        QTRY_COMPARE(abertas().count(QStringLiteral("(moldura vazia)")), 0);
        m.findChild<QAction *>(QStringLiteral("cons_poc"))->trigger();
        QCOMPARE(abertas().count(QStringLiteral("ConsultPoc")), 1);
        m.mdiArea->closeAllSubWindows();
    }

    // Every window, at the desktop's font and at 13 pt, as a user sees it: pictures of each
    // (MOLVAR_CAPTURAS) and nothing cut or covered.
    void janelasInteirasEmDuasFontes()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        // The longest company name there can be: 50 characters.
        const QString nome = QStringLiteral("Sociedade Agrícola e Comercial do Vale do Sousa, L");
        QCOMPARE(nome.size(), 50);
        QVERIFY(criaFirma(a.db(), "0001", nome, { false, "", "", true, "6", false }));
        QVERIFY(criaConta(a.db(), "0001", 2024, "62211234567890", "Trabalhos especializados gerai"));
        QVERIFY(criaCCusto(a.db(), "0001", 2024, "CC0123456789", "Armazém de produtos acabados"));
        QVERIFY(criaMolvaralizacao(a.db(),
            { "0001", 1, "Renda do armazém de Paredes", "FT24/17", 1800000, 12, 2024, 1, "62211234567890", "2722", "CC01",
                "1" }));
        QVERIFY(corre(a.db(), "UPDATE Molvar SET DataCtb = ? WHERE Mes = 1", { QDate(2024, 1, 28) }));
        SQL_OK(a.db(),
            "INSERT INTO Modexptxt (Modelo, TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo) VALUES ('MOD1', 0, 1, 1, 0, 0, "
            "0)");
        QVERIFY(a.entra("0001", 2024, 5));
        a.sessao.gModelo = QStringLiteral("MOD1");
        a.sessao.gItemNome = QStringLiteral("Linha de Detalhe");

        const QFont normal = QApplication::font();
        QFont grande = normal;
        grande.setPointSize(13);
        QStringList defeitos;
        for (const QFont &fonte : { normal, grande }) {
            QApplication::setFont(fonte);
            const QString sufixo = fonte == normal ? QString() : QStringLiteral("-13pt");
            auto ve = [&](QWidget *w) {
                w->show();
                QVERIFY(QTest::qWaitForWindowExposed(w));
                auto *moldura = qobject_cast<QMdiSubWindow *>(w->parentWidget());
                captura(moldura ? static_cast<QWidget *>(moldura) : w, w->objectName().toLower() + sufixo + ".png");
                defeitos << defeitosDeDesenho(w);
            };
            std::vector<std::unique_ptr<QWidget>> janelas;
            auto nova = [&janelas](QWidget *w) {
                janelas.emplace_back(w);
                return w;
            };

            auto *e = new Molvarentrada(a.sessao);
            nova(e);
            e->Utilizador->setText(QStringLiteral("admin"));
            e->DataCombo1->setText(QStringLiteral("0001"));
            e->DTPicker1->setText(QStringLiteral("15-03-2024"));
            ve(e);
            ve(nova(new SenhaAdmin(&a.msgs, QStringLiteral("Escolha a senha do administrador (utilizador \"admin\")."))));
            auto *ins = new MolvarInsFirma(a.sessao);
            nova(ins);
            ins->Text1->setText(QStringLiteral("0002"));
            ins->Text2->setText(nome);
            ve(ins);
            ve(nova(new ParamFirmaDlg(a.sessao, QStringLiteral("0001"))));
            ve(nova(new MainConfSql(a.sessao)));
            ve(nova(new Espera));
            ve(nova(new Modelos_Txt(a.sessao)));
            ve(nova(new New_Modelo(a.sessao)));
            ve(nova(new Alt_Modelo(a.sessao)));
            ve(nova(new Del_Modelo(a.sessao)));
            ve(nova(new Cod_Modelo(a.sessao)));
            a.sessao.gItemCodigo = 0;
            ve(nova(new Cod_nome(a.sessao)));
            a.sessao.gItemCodigo = 3;
            ve(nova(new Cod_det(a.sessao)));
            ve(nova(new Sim_Modelo(a.sessao)));

            // The main window on a 1280x800 screen, with the accrual list as it opens in it,
            // then every window of its menus.
            // The start-up window read the settings again: the cost-centre module is off there.
            a.sessao.gAnaliticaAtiva = true;
            auto *m = new MDIForm1(a.sessao);
            nova(m);
            m->resize(1280, 800);
            m->show();
            QVERIFY(QTest::qWaitForWindowExposed(m));
            m->findChild<QAction *>(QStringLiteral("mnu_manut_list"))->trigger();
            ve(m);
            for (const char *item :
                { "nova_poc", "apaga_poc", "cons_poc", "novo_analit", "apaga_analit", "cons_analit", "tot_cpoc" })
                m->findChild<QAction *>(QString::fromLatin1(item))->trigger();
            for (QMdiSubWindow *sub : m->mdiArea->subWindowList())
                ve(sub->widget());
            // The search dialog, opened from the totals window by the keypad's divide key.
            QWidget *totais = m->findChild<QWidget *>(QStringLiteral("Tot_conta"));
            QVERIFY(totais);
            auto *conta = totais->findChild<DataCombo *>(QStringLiteral("DataCombo1"));
            QTest::keyClick(
                conta->lineEdit() ? static_cast<QWidget *>(conta->lineEdit()) : conta, Qt::Key_Slash, Qt::KeypadModifier);
            auto *procuras = abertoEm<Procuras>(totais);
            QVERIFY(procuras);
            ve(procuras);
        }
        QApplication::setFont(normal);
        QVERIFY2(a.msgs.textos().isEmpty(), qPrintable(a.msgs.textos().join('|')));
        QVERIFY2(defeitos.isEmpty(), qPrintable(defeitos.join('\n')));
    }

    void configuracoesGuardadasELidasNoArranque()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Alfa"));
        QVERIFY(a.entra("0001", 2024, 1));
        // Nothing saved yet: the module is off and no import source is chosen.
        QVERIFY(!a.sessao.gAnaliticaAtiva);
        QVERIFY(a.sessao.gTipoImp.isEmpty());

        MDIForm1 m(a.sessao);
        m.show();
        m.findChild<QAction *>(QStringLiteral("config_sql_connect"))->trigger();
        MainConfSql *c = abertoEm<MainConfSql>(&m);
        QVERIFY(c);
        QCOMPARE(c->objectName(), QStringLiteral("main_confsql"));
        QCOMPARE(c->Ligacao1->text(), a.sessao.gLigacao1);
        QCOMPARE(c->Command11->text(), QStringLiteral("Formato"));
        // "Formato" leads into the model editor, modal over the settings.
        QVERIFY(c->Command11->isEnabled());
        clica(c->Command11);
        QDialog *modelos = c->findChild<QDialog *>(QStringLiteral("Modelos_Txt"));
        QVERIFY(modelos);
        QVERIFY(modelos->isVisible());
        QCOMPARE(modelos->windowTitle(), QStringLiteral("Modelos"));
        QVERIFY(modelos->findChild<QAction *>(QStringLiteral("novo_mod")));
        modelos->close();
        QTRY_VERIFY(!c->findChild<QDialog *>(QStringLiteral("Modelos_Txt")));

        // A connection string that names no known driver is refused; nothing is written.
        const QString antes = a.sessao.gLigacao1;
        escreve(c->Ligacao1, QStringLiteral("Driver=Access;Database=x.mdb;"));
        c->Analitica->setCurrentText(QStringLiteral("sim"));
        clica(c->OKButton);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("A ligação à base de dados do programa não é válida")));
        QVERIFY(c->isVisible());
        QCOMPARE(ligacaoDaSeccao("DATABASE1"), antes);
        QVERIFY(LeIni("Configuracoes", "analitica").isEmpty());
        QVERIFY(!a.sessao.gAnaliticaAtiva);

        // The program's own database is never an ODBC one.
        escreve(c->Ligacao1, QStringLiteral("Driver={FreeTDS};Server=h;Database=molvar;Uid=u;Pwd=Segredo9;"));
        a.msgs.limpa();
        clica(c->OKButton);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY2(a.msgs.ultimo().contains(QStringLiteral("Uma ligação ODBC só serve para a base de dados da aplicação externa")),
            qPrintable(a.msgs.ultimo()));
        QVERIFY(!a.msgs.ultimo().contains(QStringLiteral("Segredo9")));
        QCOMPARE(ligacaoDaSeccao("DATABASE1"), antes);

        const QString externa = a.criaBaseExterna("A");
        escreve(c->Ligacao1, antes);
        escreve(c->Ligacao2, externa);
        c->TipoImp->setCurrentIndex(c->TipoImp->findData(QStringLiteral("X")));
        escreve(c->IxlsPath, QStringLiteral("/dados/folhas"));
        escreve(c->ImpXls, QStringLiteral("planos.xlsx"));
        a.msgs.limpa();
        clica(c->OKButton);
        QVERIFY(a.msgs.textos().isEmpty());
        QVERIFY(!c->isVisible());
        QVERIFY(a.sessao.gAnaliticaAtiva);
        QVERIFY(a.sessao.gImportaExcel);
        QCOMPARE(a.sessao.gTipoImp, QStringLiteral("X"));
        QCOMPARE(a.sessao.gIxlsPath, QStringLiteral("/dados/folhas/"));
        QCOMPARE(a.sessao.gImpXls, QStringLiteral("planos.xlsx"));
        QCOMPARE(a.sessao.gLigacao1, antes);
        QCOMPARE(a.sessao.gLigacao2, externa);
        QCOMPARE(LeIni("DATABASE2", "Connect_sql"), externa);
        // It may hold server passwords: its owner alone reads it.
        QCOMPARE(
            QFileInfo(iniPath()).permissions() & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);

        // The saved choice holds at the next start.
        Session nova;
        nova.carregaConfiguracao();
        QVERIFY(nova.gAnaliticaAtiva);
        QVERIFY(nova.gImportaExcel);
        QCOMPARE(nova.gTipoImp, QStringLiteral("X"));
        QCOMPARE(nova.gIxlsPath, QStringLiteral("/dados/folhas/"));
        QCOMPARE(nova.gImpXls, QStringLiteral("planos.xlsx"));
        QCOMPARE(nova.gLigacao1, antes);
        QCOMPARE(nova.gLigacao2, externa);

        // Switching the module off is remembered just the same.
        m.configSqlConnect();
        c = abertoEm<MainConfSql>(&m);
        QVERIFY(c);
        QCOMPARE(c->Analitica->currentText(), QStringLiteral("sim"));
        QCOMPARE(c->TipoImp->currentData().toString(), QStringLiteral("X"));
        c->Analitica->setCurrentText(QStringLiteral("não"));
        c->TipoImp->setCurrentIndex(c->TipoImp->findData(QStringLiteral("S")));
        clica(c->OKButton);
        Session outra;
        outra.carregaConfiguracao();
        QVERIFY(!outra.gAnaliticaAtiva);
        QCOMPARE(outra.gTipoImp, QStringLiteral("S"));

        // The import reads the outside database: the main window opens it at load, and
        // says so when it is not there.
        a.msgs.limpa();
        {
            MDIForm1 comExterna(a.sessao);
            QVERIFY(a.msgs.textos().isEmpty());
        }
        QVERIFY(GravaIni("DATABASE2", "Connect_sql", "Driver=SQLite;Database=falta.db;"));
        a.sessao.carregaConfiguracao();
        {
            MDIForm1 semExterna(a.sessao);
            QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível abrir a base de dados da aplicação externa.")));
            QVERIFY(a.msgs.ultimo().contains(QStringLiteral("não existe")));
        }
        // A workbook as the import's source: the outside database is not opened at load.
        QVERIFY(GravaIni("Configuracoes", "TipoImp", "X"));
        a.sessao.carregaConfiguracao();
        a.msgs.limpa();
        MDIForm1 semImportacao(a.sessao);
        QVERIFY(a.msgs.textos().isEmpty());
    }

    void configuracoesDuranteASessao()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Alfa"));
        QVERIFY(a.entra("0001", 2024, 1));
        const QString original = a.sessao.gLigacao1;
        QPointer<MDIForm1> m = new MDIForm1(a.sessao);
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->show();

        // Accepted untouched on an install without an outside database: the import source
        // reads "S", yet no later start says anything about the outside database.
        m->findChild<QAction *>(QStringLiteral("config_sql_connect"))->trigger();
        MainConfSql *c = abertoEm<MainConfSql>(m);
        QVERIFY(c);
        QVERIFY(c->Ligacao2->text().isEmpty());
        a.msgs.limpa();
        clica(c->OKButton);
        QVERIFY(a.msgs.textos().isEmpty());
        QCOMPARE(a.sessao.gTipoImp, QStringLiteral("S"));
        a.sessao.carregaConfiguracao();
        QCOMPARE(a.sessao.gTipoImp, QStringLiteral("S"));
        {
            MDIForm1 seguinte(a.sessao);
            QVERIFY2(a.msgs.textos().isEmpty(), qPrintable(a.msgs.textos().join('|')));
        }
        // The outside database alone changed is said too, and kept for the next start.
        m->configSqlConnect();
        c = abertoEm<MainConfSql>(m);
        QVERIFY(c);
        escreve(c->Ligacao2, QStringLiteral("Driver=SQLite;Database=fora.db;"));
        a.msgs.limpa();
        clica(c->OKButton);
        QCOMPARE(a.msgs.textos().size(), 1);
        QVERIFY(a.sessao.gLigacao2.isEmpty());

        // Another database named during the session: saved for the next start, said in one
        // sentence, and the session keeps the database it started with.
        const QString outra = QStringLiteral("Driver=SQLite;Database=%1;").arg(QDir(a.pasta()).filePath("outra.db"));
        QString erro;
        QVERIFY2(criaBaseDados(outra, &erro), qPrintable(erro));
        m->configSqlConnect();
        c = abertoEm<MainConfSql>(m);
        QVERIFY(c);
        escreve(c->Ligacao1, outra);
        a.msgs.limpa();
        clica(c->OKButton);
        QVERIFY(!c->isVisible());
        QCOMPARE(a.msgs.textos(),
            QStringList {
                QStringLiteral("As ligações alteradas foram gravadas e serão usadas no próximo arranque do programa.") });
        QCOMPARE(a.sessao.gLigacao1, original);
        QCOMPARE(ligacaoDaSeccao("DATABASE1"), outra);
        m->close();
        apagaPendentes();
        QVERIFY(m.isNull());
        QCOMPARE(conta(abreLigacao(original), "SELECT COUNT(*) FROM MolvarLastUse WHERE CodFirma = ?", { "0001" }), 1);
        QCOMPARE(conta(abreLigacao(outra), "SELECT COUNT(*) FROM MolvarLastUse"), 0);
        Session seguinte;
        seguinte.carregaConfiguracao();
        QCOMPARE(seguinte.gLigacao1, outra);
    }

    void baseInexistenteNasConfiguracoes()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaFirma(a.db(), "0001", "Alfa"));

        // The parameters of a company removed meanwhile are not presented as saved.
        QVERIFY(criaFirma(a.db(), "0002", "Beta"));
        {
            ParamFirmaDlg par(a.sessao, QStringLiteral("0002"));
            QVERIFY(par.carregado());
            par.show();
            SQL_OK(a.db(), "DELETE FROM ParamFirma WHERE CodFirma = ?", "0002");
            QSignalSpy gravado(&par, &ParamFirmaDlg::gravado);
            a.msgs.limpa();
            clica(par.OKButton);
            QCOMPARE(a.msgs.ultimo(), QStringLiteral("A firma \"0002\" não existe!"));
            QCOMPARE(gravado.count(), 0);
            QVERIFY(par.isVisible());
        }

        const QString original = a.sessao.gLigacao1;
        Molvarentrada e(a.sessao);
        e.show();
        QVERIFY(e.Validar->isEnabled());
        QCOMPARE(e.DataCombo1->rowCount(), 1);

        // Through the start-up window's settings: a database that is not there.
        e.config_sql->trigger();
        MainConfSql *c = abertoEm<MainConfSql>(&e);
        QVERIFY(c);
        escreve(c->Ligacao1, QStringLiteral("Driver=SQLite;Database=nao_existe.db;"));
        a.msgs.limpa();
        clica(c->OKButton);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Configure as Ligações SQL ou Instale Base de Dados!")));
        QVERIFY(a.msgs.ultimo().contains(QStringLiteral("não existe")));
        QVERIFY(!QFile::exists(QDir(a.pasta()).filePath(QStringLiteral("nao_existe.db"))));
        QVERIFY(!e.Validar->isEnabled());
        QVERIFY(!e.criar_firma->isEnabled());
        QVERIFY(e.instalar_bd->isEnabled());
        QCOMPARE(e.DataCombo1->rowCount(), 0);

        // The same at a fresh start with that settings file: nothing is created.
        a.msgs.limpa();
        Molvarentrada outra(a.sessao);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Configure as Ligações SQL ou Instale Base de Dados!")));
        QVERIFY(!outra.Validar->isEnabled());
        QVERIFY(!QFile::exists(QDir(a.pasta()).filePath(QStringLiteral("nao_existe.db"))));
        // The database the program had is untouched.
        QCOMPARE(conta(abreLigacao(original), "SELECT COUNT(*) FROM ParamFirma"), 1);

        // Another program's database named by mistake: neither the start nor the installation
        // changes anything in it, and the installation names it.
        const bool pg = Ambiente::usaPostgres();
        const QString nomeAlheia = pg ? DadosLigacao::interpreta(original).baseDados + QStringLiteral("_alheia")
                                      : QDir(a.pasta()).filePath(QStringLiteral("contab.db"));
        const QString alheia
            = pg ? Ambiente::ligacaoPg(nomeAlheia) : QStringLiteral("Driver=SQLite;Database=%1;").arg(nomeAlheia);
        if (pg)
            QVERIFY(QSqlQuery(abreLigacao(Ambiente::ligacaoPg("postgres"))).exec("CREATE DATABASE " + nomeAlheia));
        else
            QVERIFY(QFile(nomeAlheia).open(QIODevice::WriteOnly));
        const auto largaAlheia = qScopeGuard([&] {
            fechaLigacao(alheia);
            if (pg)
                QSqlQuery(abreLigacao(Ambiente::ligacaoPg("postgres")))
                    .exec("DROP DATABASE IF EXISTS " + nomeAlheia + " WITH (FORCE)");
        });
        QSqlDatabase x = abreLigacao(alheia);
        // An extension's views are no program's tables: that database is still empty.
        if (pg) {
            SQL_OK(x, "CREATE EXTENSION pg_stat_statements");
            bool deOutro = true;
            QVERIFY(eDeOutroPrograma(x, &deOutro, nullptr) && !deOutro);
        }
        SQL_OK(x, "CREATE TABLE PlanoContas (CodFirma char(4), CodExercicio char(4), Conta varchar(22), Saldo numeric(15,2))");
        SQL_OK(x, "CREATE TABLE Diarios (Numero integer, Nome varchar(40))");
        if (!pg) {
            // The other program keeps its file in rollback mode: opening it does not turn it to
            // WAL, which is written into the file.
            SQL_OK(x, "PRAGMA journal_mode=DELETE");
            x = QSqlDatabase();
            fechaLigacao(alheia);
            x = abreLigacao(alheia);
            QCOMPARE(valorUnico(x, "PRAGMA journal_mode").toString(), QStringLiteral("delete"));
        }
        SQL_OK(x, "CREATE INDEX ix_planocontas ON PlanoContas (Conta)");
        SQL_OK(x, "INSERT INTO PlanoContas VALUES ('0001', '2024', '6111', 10.5)");
        SQL_OK(x, "INSERT INTO Diarios VALUES (1, 'Vendas'), (2, 'Compras')");
        auto estrutura = [&] {
            QSqlQuery q(x);
            q.exec(pg ? "SELECT c.relname || '.' || COALESCE(a.attname, '') FROM pg_class c JOIN pg_namespace n "
                        "ON n.oid = c.relnamespace LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 "
                        "WHERE n.nspname = current_schema() ORDER BY 1"
                      : "SELECT m.name || '.' || COALESCE(p.name, '') FROM sqlite_master m "
                        "LEFT JOIN pragma_table_info(m.name) p ON m.type = 'table' ORDER BY 1");
            QStringList r;
            while (q.next())
                r << q.value(0).toString();
            return r << QString::number(conta(x, "SELECT COUNT(*) FROM PlanoContas"))
                     << QString::number(conta(x, "SELECT COUNT(*) FROM Diarios"));
        };
        const QStringList antes = estrutura();
        QVERIFY(antes.contains("planocontas.saldo", Qt::CaseInsensitive) && antes.join(' ').contains("ix_planocontas"));
        QVERIFY(GravaIni("DATABASE1", "Connect_sql", alheia));
        a.msgs.limpa();
        Molvarentrada quarta(a.sessao);
        quarta.show();
        QVERIFY(quarta.instalar_bd->isEnabled());
        quarta.instalar_bd->trigger();
        SenhaAdmin *senha = abertoEm<SenhaAdmin>(&quarta);
        QVERIFY(senha);
        escreve(senha->Senha1, QStringLiteral("Nova-Senha-7"));
        escreve(senha->Senha2, QStringLiteral("Nova-Senha-7"));
        clica(senha->OKButton);
        QVERIFY2(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível instalar a base de dados."))
                && a.msgs.ultimo().contains(QStringLiteral("\"%1\" tem tabelas de outro programa").arg(nomeAlheia)),
            qPrintable(a.msgs.ultimo()));
        QVERIFY(!quarta.Validar->isEnabled());
        QCOMPARE(estrutura(), antes);

        // An ODBC string put in the file by hand for the program's own database: refused at
        // start, and the installation refuses it too.
        const QString odbc = QStringLiteral("DSN=molvar;Uid=u;Pwd=Segredo9;");
        QVERIFY(GravaIni("DATABASE1", "Connect_sql", odbc));
        a.msgs.limpa();
        Molvarentrada terceira(a.sessao);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY2(a.msgs.ultimo().startsWith(QStringLiteral("Configure as Ligações SQL ou Instale Base de Dados!"))
                && a.msgs.ultimo().contains(QStringLiteral("tem de ser SQLite")) && !a.msgs.ultimo().contains("Segredo9"),
            qPrintable(a.msgs.ultimo()));
        QVERIFY(!terceira.Validar->isEnabled());
        QString erro;
        QVERIFY(!criaBaseDados(odbc, &erro));
        QVERIFY(erro.contains(QStringLiteral("tem de ser SQLite")));
    }
};

QTEST_MAIN(TstSession)
#include "tst_session.moc"
