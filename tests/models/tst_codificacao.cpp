#include "core/connection.h"
#include "core/datacombo.h"
#include "models/campolinha.h"
#include "models/cod_det.h"
#include "models/cod_nome.h"
#include "models/registoitem.h"
#include "models/regraslinha.h"
#include "models/regrasnome.h"
#include "support/ambiente.h"
#include "support/fixtures.h"
#include "support/postos.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {
const QString kModelo = QStringLiteral("MOD1");

// The stored row of an item, by lower-case column; empty when there is none.
QVariantMap linhaGuardada(QSqlDatabase db, const QString &modelo, int tipocod)
{
    QSqlQuery q(db);
    QVariantMap m;
    if (!executa(q, QStringLiteral("SELECT * FROM modexptxtdet where modelo = ? and tipocod = ?"), { modelo, tipocod })
        || !q.next())
        return m;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        m.insert(r.fieldName(i).toLower(), r.value(i));
    return m;
}

// The header of kModelo: an item is only written for a model that has one.
bool criaCabecalho(QSqlDatabase db)
{
    return corre(db,
        QStringLiteral("INSERT INTO Modexptxt (Modelo, TipoDet, NlinCab, NlinIni, NlinSep, NlinFim, Activo) "
                       "VALUES (?, 0, 1, 1, 0, 0, 0)"),
        { kModelo });
}

int linhas(QSqlDatabase db, int tipocod)
{
    return conta(db, QStringLiteral("SELECT COUNT(*) FROM modexptxtdet where modelo = ? and tipocod = ?"), { kModelo, tipocod });
}

template <typename T> T *filho(QWidget *w, const char *nome)
{
    T *c = w->findChild<T *>(QString::fromLatin1(nome));
    if (!c)
        qWarning("sem controlo %s", nome);
    return c;
}

void escreve(QWidget *w, const char *nome, const QString &texto)
{
    QLineEdit *e = filho<QLineEdit>(w, nome);
    e->clear();
    QTest::keyClicks(e, texto);
}

void escolhe(QWidget *w, const char *nome, const QString &texto)
{
    filho<DataCombo>(w, nome)->setText(texto);
}

void clica(QWidget *w, const char *nome)
{
    QTest::mouseClick(filho<QPushButton>(w, nome), Qt::LeftButton);
}

QString focado(QWidget *w)
{
    return w->focusWidget() ? w->focusWidget()->objectName() : QString();
}

ListaOpcoes lista(std::initializer_list<std::pair<int, const char *>> l)
{
    ListaOpcoes r;
    for (const auto &[c, d] : l)
        r.append({ qint16(c), QString::fromUtf8(d) });
    return r;
}

// Lists shaped as the database's: the codes the rules test and a few others.
OpcoesLinha opcoesLinha()
{
    OpcoesLinha o;
    o[LConteudo] = lista({ { 0, "Texto Fixo" }, { 7, "Valor" }, { 9, "Data de Integração" } });
    o[LSinalDC] = lista({ { 0, "D / C" }, { 1, "+ / -" } });
    o[LAlinhamento] = lista({ { 0, "Esquerda" }, { 1, "Direita" } });
    o[LSimboloDecimal] = lista({ { 0, "Vírgula" }, { 1, "Ponto" }, { 2, "Sem Símbolo Decimal" } });
    o[LOrdemData] = lista({ { 0, "Dia Mês Ano" }, { 2, "Ano Mês Dia" } });
    o[LSeparadorData] = lista({ { 0, "Hífen (-)" }, { 2, "Sem Separador" } });
    o[LDigitosAno] = lista({ { 0, "Quatro Dígitos" }, { 1, "Dois Dígitos" } });
    o[LSinalNegativo] = lista({ { 0, "Sinal Antes do Valor" }, { 3, "Sem Sinal" } });
    return o;
}

// Controls of a correct numeric field 1: value, 10 characters, 2 decimals with a comma.
ControlosCampo campoNumerico()
{
    ControlosCampo c;
    c.Pcampo = QStringLiteral("1");
    c.Lpcampo1 = QStringLiteral("Valor");
    c.Ltcampo1 = QStringLiteral("10");
    c.Ltccampo1 = QStringLiteral("N");
    c.Ltscampo1 = QStringLiteral("D / C");
    c.Lacampo1 = QStringLiteral("Direita");
    c.Ldcampo1 = QStringLiteral("Vírgula");
    c.Lndcampo1 = QStringLiteral("2");
    c.Lodcampo1 = QStringLiteral("Dia Mês Ano");
    c.Lsdcampo1 = QStringLiteral("Hífen (-)");
    c.Ladcampo1 = QStringLiteral("Quatro Dígitos");
    c.Ltvcampo1 = QStringLiteral("Sem Sinal");
    return c;
}

NomeExtensao nomeFixo()
{
    NomeExtensao e;
    e.tiposNome = e.tiposExtensao = lista({ { 0, "Texto Fixo" }, { 1, "Composto por Partes" }, { 2, "Aleatório" } });
    e.tiposParteNome = lista({ { 0, "Fixo" }, { 1, "Código da Firma" }, { 2, "Ano" } });
    e.tiposParteExtensao = lista({ { 0, "Fixo" }, { 1, "Número de Exportação" } });
    e.Fnome = e.Fext = QStringLiteral("Texto Fixo");
    e.Ffnome = QStringLiteral("EXPORT");
    e.Ffext = QStringLiteral("TXT");
    return e;
}

ParteFicheiro parte(const char *tipo, int comprimento, const char *texto = "")
{
    ParteFicheiro p;
    p.DescTipoParte = QString::fromUtf8(tipo);
    p.ComprimentoParte = qint16(comprimento);
    p.TextoParte = QString::fromUtf8(texto);
    return p;
}
} // namespace

class TstCodificacao : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MOLVAR_REQUER_BASE(); }

    void numeroDigitado_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("valor");
        QTest::newRow("vazio") << "" << 0;
        QTest::newRow("letras") << "abc" << 0;
        QTest::newRow("branco") << " " << 0;
        QTest::newRow("parte inicial") << " 12x" << 12;
        QTest::newRow("meio para par abaixo") << "2.5" << 2;
        QTest::newRow("meio para par acima") << "3.5" << 4;
        QTest::newRow("negativo") << "-2.5" << -2;
        QTest::newRow("expoente") << "2e1" << 20;
        QTest::newRow("expoente incompleto") << "1e" << 1;
        QTest::newRow("fora de 16 bits") << "1e5" << 32767;
        QTest::newRow("fora negativo") << "-99999" << -32768;
    }
    void numeroDigitado()
    {
        QFETCH(QString, texto);
        QFETCH(int, valor);
        QCOMPARE(int(::numeroDigitado(texto)), valor);
    }

    // Each check of the name and extension, broken alone: its message and its focus.
    void validacaoDoNome_data()
    {
        QTest::addColumn<int>("caso");
        QTest::addColumn<QString>("mensagem");
        QTest::addColumn<QString>("foco");
        QTest::addColumn<QString>("ordem");
        const char *const m[] = { "Tem de definir o tipo de nome", "Tem de definir o tipo de extensão",
            "Não existem tipos de nome definidos", "O tipo de nome não é valido", "Não existem tipos de extensão definidos",
            "O tipo de extensão não é valido", "Quando o nome é aleatorio a extensão tambem tem de o ser e vice versa",
            "Quando o nome é fixo tem de se definir o texto fixo do nome",
            "Quando a extensão é fixa tem de se definir o texto fixo da extensão", "O nome deve ter entre 1 e 4 partes",
            "Existem partes do nome mal definidas", "O comprimento do nome não pode ultrapassar os 10 caracteres",
            "A extensão deve ter entre 1 e 3 partes", "Existem partes da extensão mal definidas",
            "O comprimento da extensão não pode ultrapassar os 3 caracteres" };
        const char *const f[] = { "Fnome", "Fext", "Fnome", "Fnome", "Fext", "Fext", "Fnome", "Ffnome", "Ffext", "Fpnome",
            "Pnome", "Pnome", "Fpext", "Pext", "Pext" };
        const char *const o[] = { "", "", "", "", "", "", "", "", "", "", "2", "1", "", "3", "1" };
        for (int i = 0; i < 15; ++i)
            QTest::addRow("%d", i + 1) << i + 1 << QString::fromUtf8(m[i]) << QString::fromLatin1(f[i])
                                       << QString::fromLatin1(o[i]);
    }
    void validacaoDoNome()
    {
        QFETCH(int, caso);
        QFETCH(QString, mensagem);
        QFETCH(QString, foco);
        QFETCH(QString, ordem);
        NomeExtensao e = nomeFixo();
        auto partesNome = [&] {
            e.Fnome = QStringLiteral("Composto por Partes");
            e.Fpnome = QStringLiteral("2");
            e.PartesNome[1] = parte("Fixo", 0, "AB");
            e.PartesNome[2] = parte("Ano", 4);
        };
        auto partesExt = [&] {
            e.Fext = QStringLiteral("Composto por Partes");
            e.Fpext = QStringLiteral("3");
            e.PartesExtensao[1] = parte("Fixo", 0, "A");
            e.PartesExtensao[2] = parte("Número de Exportação", 1);
            e.PartesExtensao[3] = parte("Fixo", 0, "C");
        };
        switch (caso) {
        case 1:
            e.Fnome.clear();
            e.Fext.clear();
            break;
        case 2:
            e.Fext.clear();
            e.tiposNome.clear();
            break;
        case 3:
            e.tiposNome.clear();
            break;
        case 4:
            e.Fnome = QStringLiteral("texto fixo");
            break;
        case 5:
            e.tiposExtensao.clear();
            e.Ffnome.clear();
            break;
        case 6:
            e.Fext = QStringLiteral("Nada");
            break;
        case 7:
            e.Fext = QStringLiteral("Aleatório");
            e.Ffnome.clear();
            break;
        case 8:
            e.Ffnome.clear();
            e.Ffext.clear();
            break;
        case 9:
            e.Ffext.clear();
            partesNome();
            e.Fpnome = QStringLiteral("9");
            break;
        case 10:
            partesNome();
            e.Fpnome = QStringLiteral("5");
            break;
        case 11:
            partesNome();
            e.PartesNome[2].ComprimentoParte = 0;
            break;
        case 12:
            partesNome();
            e.Fpnome = QStringLiteral("3");
            e.PartesNome[3] = parte("Código da Firma", 5);
            break;
        case 13:
            partesNome();
            partesExt();
            e.Fpext = QString();
            break;
        case 14:
            partesExt();
            e.PartesExtensao[3].TextoParte.clear();
            break;
        case 15:
            partesExt();
            e.PartesExtensao[3] = parte("Número de Exportação", 2);
            break;
        }
        const ValidacaoNome v = validaNomeExtensao(e);
        QCOMPARE(v.falha.mensagem, mensagem);
        QCOMPARE(v.falha.foco, foco);
        QCOMPARE(v.ordemNome + v.ordemExtensao, ordem);
    }

    void validacaoDoNomeAceita()
    {
        NomeExtensao e = nomeFixo();
        QVERIFY(validaNomeExtensao(e).ok());
        e.Ffnome = QStringLiteral("   "); // untrimmed: blanks pass
        QVERIFY(validaNomeExtensao(e).ok());
        // Random on both sides: nothing else is looked at.
        e.Fnome = e.Fext = QStringLiteral("Aleatório");
        e.Ffnome.clear();
        e.Fpnome = QStringLiteral("9");
        ValidacaoNome v = validaNomeExtensao(e);
        QVERIFY(v.ok());
        QCOMPARE(int(v.codigoNome), 2);
        // A fixed part counts its trimmed text, whatever its length says; 10 characters pass.
        e = nomeFixo();
        e.Fnome = QStringLiteral("Composto por Partes");
        e.Fpnome = QStringLiteral("2");
        e.PartesNome[1] = parte("Fixo", 99, "ABCDEF");
        e.PartesNome[2] = parte("Ano", 4);
        v = validaNomeExtensao(e);
        QVERIFY2(v.ok(), qPrintable(v.falha.mensagem));
        QCOMPARE(int(e.PartesNome[2].TipoParte), 2);
    }

    // Each rule of "Confirma campo", broken alone: its message and focus.
    void confirmacaoDoCampo_data()
    {
        QTest::addColumn<QString>("campo");
        QTest::addColumn<QString>("valor");
        QTest::addColumn<QString>("mensagem");
        QTest::addColumn<QString>("foco");
        const QString tipos = QStringLiteral("Tem de definir se é Caract, Num, Data ou Sinal Deb/Cre");
        QTest::newRow("sem ordem") << "Pcampo"
                                   << ""
                                   << "Tem de definir o numero de ordem do campo"
                                   << "Pcampo";
        QTest::newRow("ordem 25") << "Pcampo"
                                  << "25"
                                  << "O numero de ordem do campo tem de ser entre 1 e 24"
                                  << "Pcampo";
        QTest::newRow("ordem branco") << "Pcampo"
                                      << " "
                                      << "O numero de ordem do campo tem de ser entre 1 e 24"
                                      << "Pcampo";
        QTest::newRow("sem letra") << "Ltccampo1"
                                   << "" << tipos << "Ltccampo1";
        QTest::newRow("letra branco") << "Ltccampo1"
                                      << " " << tipos << "Ltccampo1";
        QTest::newRow("letra X") << "Ltccampo1"
                                 << "X" << tipos << "Ltccampo1";
        QTest::newRow("comprimento 0") << "Ltcampo1"
                                       << "0"
                                       << "Tem de definir o comprimento do campo"
                                       << "Ltcampo1";
        QTest::newRow("comprimento 256") << "Ltcampo1"
                                         << "256"
                                         << "O campo não pode ter mais de 255 caracteres"
                                         << "Ltcampo1";
        QTest::newRow("conteudo") << "Lpcampo1"
                                  << "Nada"
                                  << "Tem de definir o tipo do campo"
                                  << "Lpcampo1";
        QTest::newRow("sinal DC") << "S:Ltscampo1"
                                  << "Nada"
                                  << "Tem de definir o tipo de sinal Deb/Cre"
                                  << "Ltscampo1";
        QTest::newRow("alinhamento") << "Lacampo1"
                                     << "Nada"
                                     << "Tem de definir o alinhamento do campo"
                                     << "Lacampo1";
        QTest::newRow("simbolo") << "Ldcampo1"
                                 << "Nada"
                                 << "Tem de definir o simbolo decimal do campo"
                                 << "Ldcampo1";
        QTest::newRow("casas menos 1") << "Lndcampo1"
                                       << "3:3"
                                       << "O numero de casas decimais não pode ultrapassar o comprimento do campo menos 1"
                                       << "Lndcampo1";
        QTest::newRow("casas sem simbolo") << "Lndcampo1"
                                           << "4:3"
                                           << "O numero de casas decimais não pode ultrapassar o comprimento do campo"
                                           << "Lndcampo1";
        QTest::newRow("sinal negativo") << "Ltvcampo1"
                                        << "Nada"
                                        << "Tem de definir o sinal para valor negativo do campo"
                                        << "Ltvcampo1";
        QTest::newRow("ordem data") << "D:Lodcampo1"
                                    << "Nada"
                                    << "Tem de definir a ordem da data"
                                    << "Lodcampo1";
        QTest::newRow("separador") << "D:Lsdcampo1"
                                   << "Nada"
                                   << "Tem de definir o caracter de separação na data"
                                   << "Lsdcampo1";
        QTest::newRow("digitos") << "D:Ladcampo1"
                                 << "Nada"
                                 << "Tem de definir o numero de digitos do ano na data"
                                 << "Ladcampo1";
        QTest::newRow("data 9") << "D:Ltcampo1"
                                << "9"
                                << "A data não cabe no campo"
                                << "Ladcampo1";
    }
    void confirmacaoDoCampo()
    {
        QFETCH(QString, campo);
        QFETCH(QString, valor);
        QFETCH(QString, mensagem);
        QFETCH(QString, foco);
        ControlosCampo c = campoNumerico();
        if (campo.startsWith(QLatin1String("S:")) || campo.startsWith(QLatin1String("D:"))) {
            c.Ltccampo1 = campo.left(1);
            c.Ltcampo1 = QStringLiteral("10");
            campo = campo.mid(2);
        }
        if (campo == QLatin1String("Lndcampo1")) {
            // "decimals:length", the first with a comma, the second with no decimal symbol
            c.Lndcampo1 = valor.section(QLatin1Char(':'), 0, 0);
            c.Ltcampo1 = valor.section(QLatin1Char(':'), 1, 1);
            if (c.Lndcampo1 == QLatin1String("4"))
                c.Ldcampo1 = QStringLiteral("Sem Símbolo Decimal");
        } else {
            const QHash<QString, QString *> m { { "Pcampo", &c.Pcampo }, { "Ltccampo1", &c.Ltccampo1 },
                { "Ltcampo1", &c.Ltcampo1 }, { "Lpcampo1", &c.Lpcampo1 }, { "Ltscampo1", &c.Ltscampo1 },
                { "Lacampo1", &c.Lacampo1 }, { "Ldcampo1", &c.Ldcampo1 }, { "Ltvcampo1", &c.Ltvcampo1 },
                { "Lodcampo1", &c.Lodcampo1 }, { "Lsdcampo1", &c.Lsdcampo1 }, { "Ladcampo1", &c.Ladcampo1 } };
            *m.value(campo) = valor;
        }
        CamposLinha campos;
        const OpcoesLinha o = opcoesLinha();
        qint16 n = 0;
        const FalhaCampo f = confirmaCampo(c, campos, o, &n);
        QCOMPARE(f.mensagem, mensagem);
        QCOMPARE(f.foco, foco);
    }

    void confirmacaoAceitaEGuarda()
    {
        const OpcoesLinha o = opcoesLinha();
        CamposLinha campos;
        qint16 n = 0;
        // Decimals 3 in 3 characters: refused with a comma, accepted without a decimal symbol.
        ControlosCampo c = campoNumerico();
        c.Pcampo = QStringLiteral("2");
        c.Ltcampo1 = QStringLiteral("3");
        c.Lndcampo1 = QStringLiteral("3");
        c.Ldcampo1 = QStringLiteral("Sem Símbolo Decimal");
        c.Ltccampo1 = QStringLiteral("n");
        QVERIFY(confirmaCampo(c, campos, o, &n).ok());
        QCOMPARE(int(n), 2);
        QCOMPARE(c.Ltccampo1, QStringLiteral("N"));
        QCOMPARE(campos[2].Tipo, QStringLiteral("N"));
        QCOMPARE(int(campos[2].SimboloDecimal), 2);
        QCOMPARE(int(campos[2].Conteudo), 7);
        QCOMPARE(int(campos[2].SinalNegativo), 3);
        // A field refused at the length keeps its former letter, but the copied values stay.
        c.Ltccampo1 = QStringLiteral("D");
        c.Ltcampo1 = QStringLiteral("0");
        QVERIFY(!confirmaCampo(c, campos, o, &n).ok());
        QCOMPARE(campos[2].Tipo, QStringLiteral("N"));
        QCOMPARE(int(campos[2].Comprimento), 0);
        // Dates: 4-digit year with a separator needs 10; 2 digits without one needs 6.
        c = campoNumerico();
        c.Ltccampo1 = QStringLiteral("D");
        c.Ltcampo1 = QStringLiteral("10");
        QVERIFY(confirmaCampo(c, campos, o, &n).ok());
        c.Ladcampo1 = QStringLiteral("Dois Dígitos");
        c.Lsdcampo1 = QStringLiteral("Sem Separador");
        c.Ltcampo1 = QStringLiteral("6");
        QVERIFY(confirmaCampo(c, campos, o, &n).ok());
        c.Ltcampo1 = QStringLiteral("5");
        QCOMPARE(confirmaCampo(c, campos, o, &n).mensagem, QStringLiteral("A data não cabe no campo"));
        // Decimals 0 skip the decimal rules but not the negative sign.
        c = campoNumerico();
        c.Lndcampo1 = QStringLiteral("0");
        c.Ldcampo1 = QStringLiteral("Nada");
        QVERIFY(confirmaCampo(c, campos, o, &n).ok());
        c.Ltvcampo1 = QStringLiteral("Nada");
        QCOMPARE(confirmaCampo(c, campos, o, &n).foco, QStringLiteral("Ltvcampo1"));
        // A failed lookup has already put the list's first option in the record.
        QCOMPARE(campos[1].DescSinalNegativo, QStringLiteral("Sinal Antes do Valor"));
        // An empty list never fails.
        OpcoesLinha vazias = o;
        vazias[LSinalNegativo].clear();
        QVERIFY(confirmaCampo(c, campos, vazias, &n).ok());
    }

    void validacaoDaLinha()
    {
        const OpcoesLinha o = opcoesLinha();
        CamposLinha campos;
        auto preenche = [&](int quantos, int comprimento) {
            campos = CamposLinha {};
            for (int n = 1; n <= quantos; ++n) {
                campos[n].Comprimento = qint16(comprimento);
                campos[n].DescConteudo = QStringLiteral("Texto Fixo");
                campos[n].DescAlinhamento = QStringLiteral("Esquerda");
            }
        };
        preenche(23, 11);
        campos[23].Comprimento = 13; // 255 characters in all, the most
        QVERIFY(validaLinha(23, campos, o));
        QVERIFY(!validaLinha(0, campos, o));
        QVERIFY(!validaLinha(25, campos, o));
        QVERIFY(!validaLinha(24, campos, o)); // field 24 never confirmed: length 0
        preenche(24, 11);
        QVERIFY(!validaLinha(24, campos, o)); // 264 characters
        preenche(2, 5);
        campos[2].Tipo = QStringLiteral("n");
        QVERIFY(!validaLinha(2, campos, o));
        campos[2].Tipo = QStringLiteral("S");
        campos[2].DescSinalDC = QStringLiteral("Nada");
        QVERIFY(!validaLinha(2, campos, o));
        // The silent check replaced the option by the first one.
        QCOMPARE(campos[2].DescSinalDC, QStringLiteral("D / C"));
        QVERIFY(validaLinha(2, campos, o));
    }

    // GravaCampo then LeCampo over the real table, all 24 fields of every kind.
    void idaEVoltaDe24Campos()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        const OpcoesLinha o = opcoesLinha();
        CamposLinha escritos;
        for (int n = 1; n <= 24; ++n) {
            CampoLinha &c = escritos[n];
            c.Comprimento = qint16(n + 8);
            c.Alinhamento = qint16(n % 2);
            c.SinalDC = qint16(n % 2);
            switch (n % 4) {
            case 0:
                c.Tipo = QStringLiteral("C");
                c.Conteudo = 0;
                c.TextoFixo = QStringLiteral("Fixo %1").arg(n);
                break;
            case 1:
                c.Tipo = QStringLiteral("N");
                c.Conteudo = 7;
                c.SimboloDecimal = 1;
                c.CasasDecimais = 2;
                c.SinalNegativo = 3;
                break;
            case 2:
                c.Tipo = QStringLiteral("D");
                c.Conteudo = 9;
                c.OrdemData = 2;
                c.SeparadorData = 0;
                c.DigitosAno = 1;
                break;
            case 3:
                c.Tipo = QStringLiteral("S");
                c.Conteudo = 7;
                break;
            }
        }
        RegistoItem r;
        QVERIFY(r.le(a.db(), kModelo, 3));
        QVERIFY(!r.existe());
        // Another workstation codes the same line first: its row is the one this one takes.
        QVERIFY(corre(a.db(), "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos) VALUES (?, 3, 5)", { kModelo }));
        QVERIFY(r.cria(a.db()));
        QCOMPARE(r.valor("Lcampos").toInt(), 5);
        r.atribui(QStringLiteral("Lcampos"), 24);
        for (qint16 n = 1; n <= 24; ++n)
            GravaCampo(n, escritos, r);
        QString erro;
        QVERIFY2(r.grava(a.db(), &erro), qPrintable(erro));

        const QVariantMap g = linhaGuardada(a.db(), kModelo, 3);
        QCOMPARE(g.value("lcampos").toInt(), 24);
        QCOMPARE(g.value("ltccampo2").toString(), QStringLiteral("D"));
        QCOMPARE(g.value("lfcampo4").toString(), QStringLiteral("Fixo 4"));
        QVERIFY(!g.value("lfcampo1").isNull()); // an empty text is stored as text
        QCOMPARE(g.value("lfcampo1").toString(), QString());
        QVERIFY(g.value("ldcampo3").isNull()); // "S" writes no numeric column
        QVERIFY(g.value("lodcampo1").isNull()); // "N" writes no date column
        QVERIFY(g.value("ldcampo2").isNull()); // "D" writes no numeric column
        QCOMPARE(g.value("ltvcampo5").toInt(), 3);
        QCOMPARE(g.value("ladcampo6").toInt(), 1);

        RegistoItem lido;
        QVERIFY(lido.le(a.db(), kModelo, 3));
        CamposLinha l;
        for (qint16 n = 1; n <= 24; ++n)
            LeCampo(n, lido, l, o);
        for (int n = 1; n <= 24; ++n) {
            const CampoLinha &e = escritos[n], &c = l[n];
            QCOMPARE(c.Tipo, e.Tipo);
            QCOMPARE(c.Comprimento, e.Comprimento);
            QCOMPARE(c.Conteudo, e.Conteudo);
            QCOMPARE(c.Alinhamento, e.Alinhamento);
            QCOMPARE(c.SinalDC, e.SinalDC);
            QCOMPARE(c.TextoFixo, e.TextoFixo);
            QCOMPARE(c.SimboloDecimal, e.SimboloDecimal);
            QCOMPARE(c.CasasDecimais, e.CasasDecimais);
            QCOMPARE(c.SinalNegativo, e.Tipo == QLatin1String("N") ? e.SinalNegativo : qint16(0));
            QCOMPARE(c.OrdemData, e.OrdemData);
            QCOMPARE(c.SeparadorData, e.SeparadorData);
            QCOMPARE(c.DigitosAno, e.DigitosAno);
        }
        QCOMPARE(l[1].DescSinalNegativo, QStringLiteral("Sem Sinal"));
        QCOMPARE(l[2].DescOrdemData, QStringLiteral("Ano Mês Dia"));
        QCOMPARE(l[4].DescConteudo, QStringLiteral("Texto Fixo"));
    }

    void leCampoSoOQueOConteudoEscolhe()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        SQL_OK(a.db(),
            "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos, Lpcampo1, Ltcampo1, Ltccampo1, Ltscampo1, Lacampo1, Lfcampo1,"
            " Ldcampo1, Lndcampo1, Ltvcampo1, Lpcampo2, Ltcampo2, Ltccampo2, Ltscampo2, Lacampo2, Lfcampo2, Ldcampo2,"
            " Lndcampo2, Lodcampo2) VALUES (?, ?, 2, 0, 5, 'N', 1, 1, 'ABC', 1, 2, 3, 7, 9, 'n', 55, 1, 'XYZ', 1, 2, 2)",
            kModelo, 2);
        OpcoesLinha o = opcoesLinha();
        o[LSinalNegativo] = lista({ { 3, " Sem Sinal " }, { 1, "Antes" } });
        o[LOrdemData].clear();
        RegistoItem r;
        QVERIFY(r.le(a.db(), kModelo, 2));
        CamposLinha c;
        LeCampo(1, r, c, o);
        LeCampo(2, r, c, o);
        // Content 0: the fixed text only; the numeric members take the lists' first codes.
        QCOMPARE(c[1].TextoFixo, QStringLiteral("ABC"));
        QCOMPARE(int(c[1].CasasDecimais), 0);
        QCOMPARE(int(c[1].SimboloDecimal), 0);
        QCOMPARE(int(c[1].SinalNegativo), 3);
        QCOMPARE(c[1].DescSinalNegativo, QStringLiteral("Sem Sinal"));
        // Content not 0: no fixed text; a lower-case letter selects no numeric column.
        QCOMPARE(c[2].TextoFixo, QString());
        QCOMPARE(int(c[2].CasasDecimais), 0);
        QCOMPARE(c[2].Tipo, QStringLiteral("n"));
        // A code the list lacks becomes its first; an empty list leaves the member as read.
        QCOMPARE(int(c[2].SinalDC), 0);
        QCOMPARE(c[2].DescSinalDC, QStringLiteral("D / C"));
        QCOMPARE(int(c[2].OrdemData), 0);
        QCOMPARE(c[2].DescOrdemData, QString());
        // Fields beyond the count keep their load values.
        QCOMPARE(c[3].Tipo, QStringLiteral("C"));
    }

    // ----- the name window -----

    void nomeNovoCancelarDeixaALinha()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        a.sessao.gItemCodigo = 0;
        a.sessao.gItemNome = QStringLiteral("Nome do Ficheiro");
        Cod_nome d(a.sessao);
        QCOMPARE(d.windowTitle(), QStringLiteral("Codificação de Nome do Ficheiro no modelo MOD1"));
        QCOMPARE(linhas(a.db(), 0), 1);
        QVERIFY(linhaGuardada(a.db(), kModelo, 0).value("fnome").isNull());
        QCOMPARE(filho<DataCombo>(&d, "Fnome")->text(), QStringLiteral("Texto Fixo"));
        QCOMPARE(filho<DataCombo>(&d, "Fpext1")->text(), QStringLiteral("Fixo"));
        QCOMPARE(filho<QLineEdit>(&d, "Ffnome")->maxLength(), 10);
        QCOMPARE(filho<QLineEdit>(&d, "Ffext")->maxLength(), 3);
        d.show();
        clica(&d, "CancelButton");
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!d.isVisible());
        QCOMPARE(linhas(a.db(), 0), 1);
        QVERIFY(a.msgs.mostradas.isEmpty());
    }

    void nomeFixoGravaTextosAparados()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        SQL_OK(a.db(), "INSERT INTO modexptxtdet (modelo, tipocod, Fpnome1, Ffnome2) VALUES (?, 0, 4, 'QQ')", kModelo);
        Cod_nome d(a.sessao);
        d.show();
        escreve(&d, "Ffnome", QStringLiteral("  REL  "));
        escreve(&d, "Ffext", QStringLiteral(" T "));
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.textos(), QStringList());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const QVariantMap g = linhaGuardada(a.db(), kModelo, 0);
        QCOMPARE(g.value("fnome").toInt(), 0);
        QCOMPARE(g.value("ffnome").toString(), QStringLiteral("REL"));
        QCOMPARE(g.value("ftnome").toInt(), 3);
        QCOMPARE(g.value("fpnome").toInt(), 0);
        QCOMPARE(g.value("ffext").toString(), QStringLiteral("T"));
        QCOMPARE(g.value("ftext").toInt(), 1);
        QCOMPARE(g.value("fpext").toInt(), 0);
        // A fixed name leaves the part columns as they were.
        QCOMPARE(g.value("fpnome1").toInt(), 4);
        QCOMPARE(g.value("ffnome2").toString(), QStringLiteral("QQ"));
        QVERIFY(g.value("fpext1").isNull());
    }

    void nomeAleatorioSoGravaOsTipos()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        SQL_OK(a.db(),
            "INSERT INTO modexptxtdet (modelo, tipocod, Fnome, Fext, Ffnome, ftnome, Fpnome) VALUES (?, 0, 0, 0, 'OLD', 3, 0)",
            kModelo);
        Cod_nome d(a.sessao);
        d.show();
        QCOMPARE(filho<QLineEdit>(&d, "Ffnome")->text(), QStringLiteral("OLD"));
        QCOMPARE(filho<QLineEdit>(&d, "Fpnome")->text(), QStringLiteral("0"));
        escolhe(&d, "Fnome", QStringLiteral("Aleatório"));
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Quando o nome é aleatorio a extensão tambem tem de o ser e vice versa"));
        QCOMPARE(focado(&d), QStringLiteral("Fnome"));
        QVERIFY(d.isVisible());
        escolhe(&d, "Fext", QStringLiteral("Aleatório"));
        clica(&d, "InsertButton");
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const QVariantMap g = linhaGuardada(a.db(), kModelo, 0);
        QCOMPARE(g.value("fnome").toInt(), 2);
        QCOMPARE(g.value("fext").toInt(), 2);
        QCOMPARE(g.value("ffnome").toString(), QStringLiteral("OLD"));
        QCOMPARE(g.value("ftnome").toInt(), 3);
    }

    void nomePorPartes()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        // An earlier coding of four parts: the columns of parts 3 and 4 must stay.
        SQL_OK(a.db(),
            "INSERT INTO modexptxtdet (modelo, tipocod, Fnome, Fext, Fpnome, Fpnome3, Ftnome3, Ffnome3, Fpnome4, Ftnome4, "
            "Ffnome4)"
            " VALUES (?, 0, 0, 0, 4, 3, 2, 'P3', 4, 2, 'P4')",
            kModelo);
        Cod_nome d(a.sessao);
        escreve(&d, "Pnome", QStringLiteral("1")); // before the window shows: ignored
        QCOMPARE(filho<QLineEdit>(&d, "Ftnome1")->text(), QString());
        d.show();
        escolhe(&d, "Fnome", QStringLiteral("Composto por Partes"));
        escreve(&d, "Fpnome", QStringLiteral("3"));
        auto define = [&](const char *n, const char *tipo, const char *comp, const char *texto) {
            escreve(&d, "Pnome", QString::fromLatin1(n));
            escolhe(&d, "Fpnome1", QString::fromUtf8(tipo));
            escreve(&d, "Ftnome1", QString::fromLatin1(comp));
            escreve(&d, "Ffnome1", QString::fromLatin1(texto));
            clica(&d, "ConfpnCommand");
        };
        define("1", "Fixo", "9", " AB ");
        define("2", "Ano", "4", "");
        define("3", "Código da Firma", "5", "");
        escreve(&d, "Ffext", QStringLiteral("TXT"));
        QVERIFY(a.msgs.mostradas.isEmpty());
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O comprimento do nome não pode ultrapassar os 10 caracteres"));
        QCOMPARE(filho<QLineEdit>(&d, "Pnome")->text(), QStringLiteral("1"));
        QCOMPARE(focado(&d), QStringLiteral("Pnome"));
        // Part 1 is shown in the part editor, with its fixed text's length.
        QCOMPARE(filho<DataCombo>(&d, "Fpnome1")->text(), QStringLiteral("Fixo"));
        QCOMPARE(filho<QLineEdit>(&d, "Ftnome1")->text(), QStringLiteral("2"));
        QCOMPARE(filho<QLineEdit>(&d, "Ffnome1")->text(), QStringLiteral("AB"));
        QCOMPARE(linhaGuardada(a.db(), kModelo, 0).value("fnome").toInt(), 0);
        // A part of a non-fixed type with no length: that part is badly defined.
        define("3", "Código da Firma", "", "");
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Existem partes do nome mal definidas"));
        QCOMPARE(filho<QLineEdit>(&d, "Pnome")->text(), QStringLiteral("3"));
        // Part numbers out of range.
        define("5", "Ano", "4", "");
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O numero de ordem da parte tem de ser entre 1 e 4"));
        escreve(&d, "Pnome", QString());
        clica(&d, "ConfpnCommand");
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("Tem de definir o numero de ordem da parte"));
        escreve(&d, "Pext", QStringLiteral("4"));
        clica(&d, "ConfpeCommand");
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O numero de ordem da parte tem de ser entre 1 e 3"));
        // Two parts now: 2 + 4 = 6 characters.
        escreve(&d, "Fpnome", QStringLiteral("2"));
        a.msgs.limpa();
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.textos(), QStringList());
        const QVariantMap g = linhaGuardada(a.db(), kModelo, 0);
        QCOMPARE(g.value("fnome").toInt(), 1);
        QCOMPARE(g.value("fpnome").toInt(), 2);
        QCOMPARE(g.value("ftnome").toInt(), 6);
        QCOMPARE(g.value("fpnome1").toInt(), 0);
        QCOMPARE(g.value("ftnome1").toInt(), 2);
        QCOMPARE(g.value("ffnome1").toString(), QStringLiteral("AB"));
        QCOMPARE(g.value("fpnome2").toInt(), 2);
        QCOMPARE(g.value("ftnome2").toInt(), 4);
        QCOMPARE(g.value("ffnome2").toString(), QString());
        QCOMPARE(g.value("fpnome3").toInt(), 3);
        QCOMPARE(g.value("ffnome3").toString(), QStringLiteral("P3"));
        QCOMPARE(g.value("ffnome4").toString(), QStringLiteral("P4"));
        QCOMPARE(g.value("ffext").toString(), QStringLiteral("TXT"));

        // Opened again: the parts come back, shown when their number is typed.
        Cod_nome d2(a.sessao);
        d2.show();
        QCOMPARE(filho<DataCombo>(&d2, "Fnome")->text(), QStringLiteral("Composto por Partes"));
        QCOMPARE(filho<QLineEdit>(&d2, "Fpnome")->text(), QStringLiteral("2"));
        QCOMPARE(filho<QLineEdit>(&d2, "Pnome")->text(), QString());
        escreve(&d2, "Pnome", QStringLiteral("2"));
        QCOMPARE(filho<DataCombo>(&d2, "Fpnome1")->text(), QStringLiteral("Ano"));
        QCOMPARE(filho<QLineEdit>(&d2, "Ftnome1")->text(), QStringLiteral("4"));
    }

    void extensaoPorPartesECodigoDesconhecido()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        // An unknown name type shows the first option; a part type the list lacks loads as its first.
        SQL_OK(a.db(),
            "INSERT INTO modexptxtdet (modelo, tipocod, Fnome, Ffnome, Fext, Fpext, Fpext1, Ftext1, Ffext1, Fpext3, Ftext3, "
            "Ffext3) VALUES (?, 0, 77, 'N', 1, 3, 99, 3, NULL, 0, 1, 'Z')",
            kModelo);
        Cod_nome d(a.sessao);
        d.show();
        QCOMPARE(filho<DataCombo>(&d, "Fnome")->text(), QStringLiteral("Texto Fixo"));
        QCOMPARE(filho<DataCombo>(&d, "Fext")->text(), QStringLiteral("Composto por Partes"));
        // Every stored part comes back, the last one too.
        escreve(&d, "Pext", QStringLiteral("3"));
        QCOMPARE(filho<QLineEdit>(&d, "Ffext1")->text(), QStringLiteral("Z"));
        escreve(&d, "Pext", QStringLiteral("1"));
        QCOMPARE(filho<DataCombo>(&d, "Fpext1")->text(), QStringLiteral("Fixo"));
        escolhe(&d, "Fpext1", QStringLiteral("Mês"));
        escreve(&d, "Ftext1", QStringLiteral("2"));
        clica(&d, "ConfpeCommand");
        escreve(&d, "Pext", QStringLiteral("2"));
        escolhe(&d, "Fpext1", QStringLiteral("Fixo"));
        escreve(&d, "Ffext1", QStringLiteral("X"));
        clica(&d, "ConfpeCommand");
        escreve(&d, "Fpext", QStringLiteral("2"));
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.textos(), QStringList());
        const QVariantMap g = linhaGuardada(a.db(), kModelo, 0);
        QCOMPARE(g.value("fnome").toInt(), 0);
        QCOMPARE(g.value("fext").toInt(), 1);
        QCOMPARE(g.value("fpext").toInt(), 2);
        QCOMPARE(g.value("ftext").toInt(), 3);
        QCOMPARE(g.value("fpext1").toInt(), 2);
        QCOMPARE(g.value("ftext1").toInt(), 2);
        QCOMPARE(g.value("fpext2").toInt(), 0);
        QCOMPARE(g.value("ffext2").toString(), QStringLiteral("X"));
    }

    void nomeAnularApaga()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        a.sessao.gItemCodigo = 0;
        SQL_OK(a.db(), "INSERT INTO modexptxtdet (modelo, tipocod, Fnome) VALUES (?, 0, 2)", kModelo);
        SQL_OK(a.db(), "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos) VALUES (?, 3, 1)", kModelo);
        auto *d = new Cod_nome(a.sessao);
        d->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<Cod_nome> p(d);
        QTimer::singleShot(0, d, [d] { clica(d, "AnulaButton"); });
        QCOMPARE(d->exec(), int(QDialog::Accepted));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(p.isNull());
        QCOMPARE(linhas(a.db(), 0), 0);
        QCOMPARE(linhas(a.db(), 3), 1);
        QVERIFY(a.msgs.mostradas.isEmpty());
    }

    // ----- the line window -----

    void linhaNovaEstadoInicial()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        a.sessao.gItemCodigo = 3;
        a.sessao.gItemNome = QStringLiteral("Linha de Detalhe");
        Cod_det d(a.sessao);
        QCOMPARE(d.windowTitle(), QStringLiteral("Codificação do detalhe no modelo MOD1"));
        QCOMPARE(filho<QLabel>(&d, "Label1")->text(), QStringLiteral("Linha de Detalhe"));
        QCOMPARE(linhas(a.db(), 3), 1);
        QCOMPARE(filho<QLineEdit>(&d, "Lcampos")->text(), QStringLiteral("1"));
        QCOMPARE(filho<QLineEdit>(&d, "Pcampo")->text(), QStringLiteral(" "));
        QCOMPARE(filho<DataCombo>(&d, "Ltvcampo1")->text(), QStringLiteral("Sinal Antes do Valor"));
        escreve(&d, "Pcampo", QStringLiteral("30")); // not yet shown: ignored
        QVERIFY(a.msgs.mostradas.isEmpty());
        escreve(&d, "Pcampo", QStringLiteral(" "));
        d.show();
        clica(&d, "ConfpnCommand");
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O numero de ordem do campo tem de ser entre 1 e 24"));
        QCOMPARE(focado(&d), QStringLiteral("Pcampo"));
        escreve(&d, "Pcampo", QStringLiteral("25"));
        QCOMPARE(a.msgs.ultimo(), QStringLiteral("O numero de ordem tem de ser entre 1 e 24"));
        // A field never confirmed: length 0, letter C, first options.
        escreve(&d, "Pcampo", QStringLiteral("4"));
        QCOMPARE(filho<QLineEdit>(&d, "Ltcampo1")->text(), QStringLiteral("0"));
        QCOMPARE(filho<QLineEdit>(&d, "Lndcampo1")->text(), QStringLiteral("0"));
        QCOMPARE(filho<QLineEdit>(&d, "Ltccampo1")->text(), QStringLiteral("C"));
        QCOMPARE(filho<DataCombo>(&d, "Lpcampo1")->text(), QStringLiteral("Texto Fixo"));
        // Saving a line whose field was never confirmed is refused.
        a.msgs.limpa();
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.textos(), QStringList { QStringLiteral("A linha está mal definida") });
        QCOMPARE(focado(&d), QStringLiteral("Lcampos"));
        QVERIFY(linhaGuardada(a.db(), kModelo, 3).value("lcampos").isNull());
    }

    void linhaGravaEVolta()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        a.sessao.gItemCodigo = 3;
        a.sessao.gAlteraModelo = true;
        // An earlier line of 3 fields: the third stays untouched by a save of 2.
        SQL_OK(
            a.db(), "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos, Ltcampo3, Ltccampo3) VALUES (?, 3, 3, 7, 'C')", kModelo);
        Cod_det d(a.sessao);
        d.show();
        QCOMPARE(filho<QLineEdit>(&d, "Lcampos")->text(), QStringLiteral("3"));
        escreve(&d, "Pcampo", QStringLiteral("1"));
        escolhe(&d, "Lpcampo1", QStringLiteral("Valor"));
        escreve(&d, "Ltcampo1", QStringLiteral("12"));
        escreve(&d, "Ltccampo1", QStringLiteral("n"));
        escolhe(&d, "Lacampo1", QStringLiteral("Direita"));
        escolhe(&d, "Ldcampo1", QStringLiteral("Ponto"));
        escreve(&d, "Lndcampo1", QStringLiteral("2"));
        escolhe(&d, "Ltvcampo1", QStringLiteral("Entre Parênteses"));
        clica(&d, "ConfpnCommand");
        QCOMPARE(a.msgs.textos(), QStringList());
        QCOMPARE(filho<QLineEdit>(&d, "Ltccampo1")->text(), QStringLiteral("N"));
        escreve(&d, "Pcampo", QStringLiteral("2"));
        escolhe(&d, "Lpcampo1", QStringLiteral("Data de Integração"));
        escreve(&d, "Ltcampo1", QStringLiteral("8"));
        escreve(&d, "Ltccampo1", QStringLiteral("D"));
        escolhe(&d, "Lodcampo1", QStringLiteral("Ano Mês Dia"));
        escolhe(&d, "Lsdcampo1", QStringLiteral("Sem Separador"));
        escolhe(&d, "Ladcampo1", QStringLiteral("Quatro Dígitos"));
        escreve(&d, "Lfcampo1", QStringLiteral("ignorado"));
        clica(&d, "ConfpnCommand");
        QCOMPARE(a.msgs.textos(), QStringList());
        escreve(&d, "Lcampos", QStringLiteral("2"));
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.textos(), QStringList());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const QVariantMap g = linhaGuardada(a.db(), kModelo, 3);
        QCOMPARE(g.value("lcampos").toInt(), 2);
        QCOMPARE(g.value("lpcampo1").toInt(), 7);
        QCOMPARE(g.value("ltcampo1").toInt(), 12);
        QCOMPARE(g.value("ltccampo1").toString(), QStringLiteral("N"));
        QCOMPARE(g.value("lacampo1").toInt(), 1);
        QCOMPARE(g.value("ldcampo1").toInt(), 1);
        QCOMPARE(g.value("lndcampo1").toInt(), 2);
        QCOMPARE(g.value("ltvcampo1").toInt(), 2);
        QVERIFY(g.value("lodcampo1").isNull());
        QCOMPARE(g.value("lpcampo2").toInt(), 9);
        QCOMPARE(g.value("ltccampo2").toString(), QStringLiteral("D"));
        QCOMPARE(g.value("lodcampo2").toInt(), 2);
        QCOMPARE(g.value("lsdcampo2").toInt(), 2);
        QCOMPARE(g.value("ladcampo2").toInt(), 0);
        QCOMPARE(g.value("lfcampo2").toString(), QStringLiteral("ignorado"));
        QVERIFY(g.value("ldcampo2").isNull());
        QCOMPARE(g.value("ltcampo3").toInt(), 7);

        // Opened again: the stored fields come back.
        Cod_det d2(a.sessao);
        d2.show();
        QCOMPARE(filho<QLineEdit>(&d2, "Lcampos")->text(), QStringLiteral("2"));
        QCOMPARE(filho<QLineEdit>(&d2, "Pcampo")->text(), QStringLiteral(" "));
        escreve(&d2, "Pcampo", QStringLiteral("1"));
        QCOMPARE(filho<QLineEdit>(&d2, "Ltcampo1")->text(), QStringLiteral("12"));
        QCOMPARE(filho<DataCombo>(&d2, "Ltvcampo1")->text(), QStringLiteral("Entre Parênteses"));
        QCOMPARE(filho<DataCombo>(&d2, "Ldcampo1")->text(), QStringLiteral("Ponto"));
        escreve(&d2, "Pcampo", QStringLiteral("2"));
        QCOMPARE(filho<DataCombo>(&d2, "Lodcampo1")->text(), QStringLiteral("Ano Mês Dia"));
        QCOMPARE(filho<QLineEdit>(&d2, "Lfcampo1")->text(), QString()); // content not 0: not loaded
        // Cancelar in an altered model writes and deletes nothing.
        clica(&d2, "CancelButton");
        QCOMPARE(d2.result(), int(QDialog::Rejected));
        QCOMPARE(linhaGuardada(a.db(), kModelo, 3).value("lcampos").toInt(), 2);
    }

    void linhaCancelarEAnular()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        a.sessao.gItemCodigo = 4;
        a.sessao.gAlteraModelo = false;
        {
            // New model, item just begun: Cancelar discards its row.
            Cod_det d(a.sessao);
            d.show();
            QCOMPARE(linhas(a.db(), 4), 1);
            clica(&d, "CancelButton");
            QCOMPARE(linhas(a.db(), 4), 0);
            QVERIFY(!d.isVisible());
        }
        // New model, a line saved on an earlier visit: Cancelar keeps it.
        SQL_OK(
            a.db(), "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos, Ltcampo1, Ltccampo1) VALUES (?, 4, 1, 5, 'C')", kModelo);
        {
            Cod_det d(a.sessao);
            d.show();
            clica(&d, "CancelButton");
            QCOMPARE(linhas(a.db(), 4), 1);
        }
        // Anular deletes without a question, in any model, and only this item.
        SQL_OK(a.db(), "INSERT INTO modexptxtdet (modelo, tipocod) VALUES (?, 5)", kModelo);
        a.sessao.gAlteraModelo = true;
        auto *d = new Cod_det(a.sessao);
        d->setAttribute(Qt::WA_DeleteOnClose);
        QTimer::singleShot(0, d, [d] { clica(d, "AnulaButton"); });
        QCOMPARE(d->exec(), int(QDialog::Accepted));
        QCOMPARE(linhas(a.db(), 4), 0);
        QCOMPARE(linhas(a.db(), 5), 1);
        QVERIFY(a.msgs.mostradas.isEmpty());
    }

    void falhasDaBaseDeDados()
    {
        Ambiente a;
        QVERIFY2(a.ok(), qPrintable(a.erro()));
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gModelo = kModelo;
        a.sessao.gItemCodigo = 3;
        a.sessao.gAlteraModelo = true;
        SQL_OK(a.db(),
            "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos, Lpcampo1, Ltcampo1, Ltccampo1, Lacampo1) VALUES (?, 3, 1, 0, 5, "
            "'C', 0)",
            kModelo);
        Cod_det d(a.sessao);
        d.show();
        // The row deleted meanwhile: the save writes it again rather than losing the line.
        SQL_OK(a.db(), "DELETE FROM modexptxtdet");
        clica(&d, "InsertButton");
        QCOMPARE(a.msgs.textos(), QStringList());
        QCOMPARE(linhaGuardada(a.db(), kModelo, 3).value("ltcampo1").toInt(), 5);
        // Deleted again, then written again by another save while this workstation saves: its
        // values go over the other's, without a key error.
        {
            QVERIFY(criaFirma(a.db(), "0001", "Firma"));
            Posto p({ "codifica", ligacaoParaOutroProcesso(a), "0001", kModelo });
            QVERIFY2(p.pronto(), qPrintable(p.saida()));
            SQL_OK(a.db(), "DELETE FROM modexptxtdet");
            Barreira b(a.db(), QString());
            SQL_OK(a.db(), "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos, Ltcampo1) VALUES (?, 3, 1, 9)", kModelo);
            p.avanca();
            QVERIFY(b.esperaBloqueados(1));
            QVERIFY(b.liberta());
            QVERIFY2(p.termina() && !p.saida().contains("mensagem:"), qPrintable(p.saida()));
            QCOMPARE(linhaGuardada(a.db(), kModelo, 3).value("ltcampo1").toInt(), 5);
        }

        // The model deleted at another workstation meanwhile: said, and no orphan item written,
        // neither by a save nor by opening another item.
        Cod_det d3(a.sessao);
        d3.show();
        SQL_OK(a.db(), "DELETE FROM modexptxtdet");
        SQL_OK(a.db(), "DELETE FROM Modexptxt");
        clica(&d3, "InsertButton");
        QCOMPARE(a.msgs.textos(), QStringList { "O modelo não está definido" });
        QVERIFY(d3.isVisible());
        a.sessao.gItemCodigo = 6;
        Cod_det d6(a.sessao);
        QCOMPARE(a.msgs.textos(), (QStringList { "O modelo não está definido", "O modelo não está definido" }));
        QCOMPARE(linhas(a.db(), 3) + linhas(a.db(), 6), 0);
        QVERIFY(criaCabecalho(a.db()));
        a.sessao.gItemCodigo = 3;
        a.msgs.limpa();
        SQL_OK(a.db(),
            "INSERT INTO modexptxtdet (modelo, tipocod, Lcampos, Lpcampo1, Ltcampo1, Ltccampo1, Lacampo1) VALUES (?, 3, 1, 0, 5, "
            "'C', 0)",
            kModelo);

        Cod_det d2(a.sessao);
        d2.show();
        SQL_OK(a.db(), "DROP TABLE modexptxtdet");
        clica(&d2, "InsertButton");
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível gravar a codificação da linha do modelo.")));
        QCOMPARE(a.msgs.mostradas.last().icone, Mensagens::Icone::Critico);
        QVERIFY(d2.isVisible()); // not reported as saved: the window stays
        clica(&d2, "AnulaButton");
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível anular")));
        QVERIFY(d2.isVisible());

        a.sessao.gItemCodigo = 0;
        a.msgs.limpa();
        Cod_nome n(a.sessao);
        QCOMPARE(a.msgs.mostradas.size(), 1);
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível ler a codificação do nome do modelo.")));
        n.show();
        escreve(&n, "Ffnome", QStringLiteral("A"));
        escreve(&n, "Ffext", QStringLiteral("B"));
        clica(&n, "InsertButton");
        QVERIFY(a.msgs.ultimo().startsWith(QStringLiteral("Não foi possível gravar")));
        QVERIFY(n.isVisible());
    }
};

QTEST_MAIN(TstCodificacao)
#include "tst_codificacao.moc"
