#include "charts/importaplanos.h"

#include "charts/chartsource.h"
#include "core/connection.h"
#include "core/leitorxls.h"
#include "core/leitorxlsx.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/transacao.h"

#include <QApplication>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

#include <cmath>
#include <functional>
#include <type_traits>

namespace {

struct LinhaPlano {
    QString firma;
    QString codigo;
    int lancamento = 0;
    QString designacao;
};

// The rows of one chart, packed: each its flag, then the UTF-8 length and bytes of its company,
// code and description. 200,000 accounts take about 12 MB so, and 70 MB as QStrings.
class Linhas
{
public:
    void junta(const LinhaPlano &l)
    {
        m_dados += char(l.lancamento);
        for (const QString *t : { &l.firma, &l.codigo, &l.designacao }) {
            const QByteArray u = t->toUtf8();
            for (int b = 0; b < 4; ++b)
                m_dados += char(quint32(u.size()) >> (8 * b));
            m_dados += u;
        }
    }
    qint64 bytes() const { return m_dados.size(); }
    // Each row in turn, until f returns false.
    template <class F> bool percorre(F f) const
    {
        LinhaPlano l;
        const char *d = m_dados.constData();
        for (qsizetype i = 0; i < m_dados.size();) {
            l.lancamento = d[i++];
            for (QString *t : { &l.firma, &l.codigo, &l.designacao }) {
                qsizetype n = 0;
                for (int b = 0; b < 4; ++b)
                    n |= qsizetype(uchar(d[i++])) << (8 * b);
                *t = QString::fromUtf8(d + i, n);
                i += n;
            }
            if (!f(l))
                return false;
        }
        return true;
    }

private:
    QByteArray m_dados;
};

// What the rows read from a workbook's sheets may take once held, with the key by which each is
// added once. A chart of 200,000 accounts (8-character codes, 30-character descriptions) takes
// about 34 MB; a sheet under the reader's caps of tiny rows would take hundreds.
constexpr qint64 kLinhasMaximas = 64LL * 1024 * 1024;

// What the import keeps to add a row once: its key and the key's slot in a hash.
qint64 custoChave(const LinhaPlano &l)
{
    return custoTexto(l.firma + QChar(0) + l.codigo) + 32;
}

// The own table of one chart and the widths of its columns.
struct Destino {
    QString tabela;
    QString colunaCodigo;
    QString colunaFlag;
    int larguraCodigo;
};

Destino destino(TipoPlano t)
{
    if (t == TipoPlano::Contas)
        return { QStringLiteral("PlanoContas"), QStringLiteral("Conta"), QStringLiteral("Lancadora"), 22 };
    return { QStringLiteral("PlanoCCusto"), QStringLiteral("CCusto"), QStringLiteral("Lancador"), 16 };
}

// The columns' widths, checked here so that both databases refuse the same rows.
QString validaLinha(const LinhaPlano &l, TipoPlano t)
{
    const Destino d = destino(t);
    if (l.firma.isEmpty() || l.firma.size() > 4)
        return QStringLiteral("o código da firma \"%1\" deve ter de 1 a 4 caracteres").arg(citacao(l.firma));
    if (l.codigo.isEmpty())
        return QStringLiteral("falta o código");
    if (l.codigo.size() > d.larguraCodigo)
        return QStringLiteral("o código \"%1\" tem mais de %2 caracteres")
            .arg(citacao(l.codigo), QString::number(d.larguraCodigo));
    if (l.designacao.size() > 30)
        return QStringLiteral("a descrição \"%1\" tem mais de 30 caracteres").arg(citacao(l.designacao));
    // PostgreSQL cannot hold it in a text, and SQLite's searches stop at it.
    if ((l.firma + l.codigo + l.designacao).contains(QChar(u'\0')))
        return QStringLiteral("o código ou a descrição tem o carácter nulo (U+0000), que a base de dados não pode guardar");
    return {};
}

// The hourglass while reading and writing; only where there is a screen to show it.
class CursorEspera
{
public:
    CursorEspera()
        : m_gui(qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_gui)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~CursorEspera()
    {
        if (m_gui)
            QApplication::restoreOverrideCursor();
    }

private:
    bool m_gui;
};

// The (company, code) pairs that the own table of the year already holds.
bool presentes(QSqlDatabase db, TipoPlano t, const QString &ano, QSet<QString> *chaves, QString *erro)
{
    const Destino d = destino(t);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!executa(
            q, QStringLiteral("SELECT CodFirma, %1 FROM %2 WHERE CodExercicio = ?").arg(d.colunaCodigo, d.tabela), { ano }, erro))
        return false;
    while (q.next())
        chaves->insert(q.value(0).toString().trimmed() + QChar(0) + q.value(1).toString().trimmed());
    if (q.lastError().isValid()) {
        *erro = textoErro(q.lastError());
        return false;
    }
    return true;
}

// Adds the rows whose (company, code) is not among `presentes`; a code repeated further
// down the source is added once, and one that another workstation inserted meanwhile is
// skipped by the database. Returns the rows added, or -1 with erro.
int acrescenta(QSqlDatabase db, TipoPlano t, const QString &ano, const Linhas &linhas, QSet<QString> presentes, QString *erro)
{
    const Destino d = destino(t);
    // Several rows per statement: one round trip per batch, the same statement for full ones.
    const int porLote = 200;
    const QString cabeca = QStringLiteral("INSERT INTO %1 (CodFirma, CodExercicio, %2, %3, Designacao) VALUES ")
                               .arg(d.tabela, d.colunaCodigo, d.colunaFlag);
    auto texto = [&](int n) {
        return cabeca + QStringList(n, QStringLiteral("(?, ?, ?, ?, ?)")).join(QStringLiteral(", "))
            + QStringLiteral(" ON CONFLICT DO NOTHING");
    };
    QSqlQuery cheio(db);
    bool preparado = false;
    QVariantList lote;
    int novas = 0, noLote = 0;
    auto descarrega = [&](bool fim) {
        if (noLote == 0)
            return true;
        if (!fim || noLote == porLote) {
            if (!preparado && !(preparado = cheio.prepare(texto(porLote)))) {
                *erro = textoErro(cheio.lastError());
                return false;
            }
            for (int i = 0; i < lote.size(); ++i)
                cheio.bindValue(i, lote[i]);
            if (!cheio.exec()) {
                *erro = textoErro(cheio.lastError());
                return false;
            }
            novas += cheio.numRowsAffected();
        } else {
            QSqlQuery resto(db);
            if (!executa(resto, texto(noLote), lote, erro))
                return false;
            novas += resto.numRowsAffected();
        }
        lote.clear();
        noLote = 0;
        return true;
    };
    const bool ok = linhas.percorre([&](const LinhaPlano &l) {
        const QString chave = l.firma + QChar(0) + l.codigo;
        if (presentes.contains(chave))
            return true;
        presentes.insert(chave);
        lote << l.firma << ano << l.codigo << l.lancamento << l.designacao;
        return ++noLote < porLote || descarrega(false);
    });
    if (!ok || !descarrega(true))
        return -1;
    return novas;
}

// The rows of one chart in the outside database, in the own layout, of the session's
// company and year.
bool leExterna(QSqlDatabase ext, TipoPlano t, const Session &s, Linhas *linhas, QString *erro)
{
    const Destino d = destino(t);
    QSqlQuery q(ext);
    q.setForwardOnly(true);
    if (!executa(q,
            QStringLiteral("SELECT CodFirma, %1, %2, Designacao FROM %3 WHERE CodFirma = ? AND CodExercicio = ?")
                .arg(d.colunaCodigo, d.colunaFlag, d.tabela),
            { s.gCodFirma, QString::number(s.gAno) }, erro))
        return false;
    while (q.next()) {
        LinhaPlano l;
        l.firma = q.value(0).toString().trimmed();
        // Trimmed as the workbook's cells are, so that "2111  " and "2111" are one code.
        l.codigo = q.value(1).toString().trimmed();
        // A missing flag is the column's default.
        l.lancamento = q.value(2).isNull() ? 0 : (q.value(2).toInt() != 0 ? 1 : 0);
        l.designacao = q.value(3).toString().trimmed();
        linhas->junta(l);
    }
    // A read cut short would import part of the chart as if it were all of it.
    if (q.lastError().isValid()) {
        *erro = textoErro(q.lastError());
        return false;
    }
    return true;
}

// The rows of one sheet, gathered from its cells as the reader hands them over: from row 2 down
// to the first row whose column A is empty.
class LinhasDaFolha
{
public:
    // The merged range that covers column A of a row without starting there (empty when none).
    using Uniao = std::function<bool(int linha, QString *intervalo, QString *erro)>;

    // semFormulas: the reader cannot tell an empty cell from a formula, whose result it does not read.
    // custo: what the rows of both sheets take, counted against kLinhasMaximas.
    LinhasDaFolha(int folha, const QString &nome, TipoPlano t, bool semFormulas, Linhas *linhas, qint64 *custo, Uniao uniao = {})
        : m_folha(folha)
        , m_nome(nome)
        , m_tipo(t)
        , m_semFormulas(semFormulas)
        , m_linhas(linhas)
        , m_custo(custo)
        , m_uniao(std::move(uniao))
    {
    }

    // False once the sheet's rows have ended, or at a cell that cannot be imported (erro).
    bool celula(const CelulaLivro &c)
    {
        if (c.linha < m_linha)
            return true;
        while (c.linha > m_linha)
            if (!fechaLinha())
                return false;
        if (c.coluna < 1 || c.coluna > 4)
            return true;
        bool ok = false;
        m_celulas[c.coluna - 1] = textoCelulaPlano(c.valor, &ok);
        // Refused once the row is known to be read: a row whose column A is empty ends the sheet.
        QString motivo;
        if (!c.erro.isEmpty())
            motivo = QStringLiteral("tem o erro %1 em vez de um valor").arg(citacao(c.erro));
        else if (c.semResultado)
            motivo = m_semFormulas
                ? QStringLiteral("tem uma fórmula, cujo resultado não se lê num livro .xls: grave o livro como .xlsx")
                : QStringLiteral("tem uma fórmula cujo resultado o ficheiro não guarda: abra o livro e grave-o de novo");
        else if (!ok)
            motivo = QStringLiteral("o número %1 tem mais algarismos do que a célula guarda sem os alterar")
                         .arg(c.valor.toDouble(), 0, 'f', 0);
        if (!motivo.isEmpty() && m_recusado.isEmpty()) {
            m_recusado = QStringLiteral("%1, célula %2: %3").arg(folha(), referenciaCelula(c.linha, c.coluna), motivo);
            m_aRecusada = c.coluna == 1;
        }
        return true;
    }
    // Closes the last row read; false with erro when it cannot be imported.
    bool termina()
    {
        if (!m_acabou && erro.isEmpty())
            fechaLinha();
        // A company code merged down column A shows in every row, but the file keeps it in the
        // first cell only: the rows below would be lost without a word. Asked once the sheet is
        // read, for the reader reads one part at a time.
        QString intervalo;
        if (erro.isEmpty() && m_fimComValores && m_uniao && m_uniao(m_linha, &intervalo, &erro) && !intervalo.isEmpty())
            erro = QStringLiteral("%1, célula %2: faz parte das células unidas %3, cujo valor o livro guarda só na primeira: "
                                  "desfaça a união e escreva o código da firma em cada linha")
                       .arg(folha(), referenciaCelula(m_linha, 1), intervalo);
        return erro.isEmpty();
    }

    QString erro;

private:
    QString folha() const { return QStringLiteral("folha %1 (\"%2\")").arg(m_folha).arg(citacao(m_nome)); }
    QString onde() const { return QStringLiteral("%1, linha %2").arg(folha(), QString::number(m_linha)); }
    // A cell that a .xls leaves empty when it holds a formula.
    QString semResultadoXls(int coluna, const QString &falta) const
    {
        return QStringLiteral("%1, célula %2: %3, ou tem uma fórmula cujo resultado não se lê num livro .xls: grave o livro "
                              "como .xlsx")
            .arg(folha(), referenciaCelula(m_linha, coluna), falta);
    }

    bool fechaLinha()
    {
        if (m_celulas[0].isEmpty() && !m_aRecusada) {
            // Column A filled down by formulas reads as empty from a .xls: an empty A beside values is
            // no end of the list, whose rows would be lost without a word.
            const bool valores = !(m_celulas[1] + m_celulas[2] + m_celulas[3]).isEmpty();
            if (m_semFormulas && valores) {
                erro = semResultadoXls(1, QStringLiteral("falta o código da firma, havendo valores na linha"));
                return false;
            }
            m_fimComValores = valores;
            m_acabou = true;
            return false;
        }
        if (!m_recusado.isEmpty()) {
            erro = m_recusado;
            return false;
        }
        LinhaPlano l;
        l.firma = m_celulas[0];
        l.codigo = m_celulas[1];
        const QString flag = m_celulas[2];
        l.designacao = m_celulas[3];
        if (flag.isEmpty() && m_semFormulas) {
            // A true or false that LibreOffice wrote as a formula reads as empty here.
            erro = semResultadoXls(3, QStringLiteral("está vazia"));
            return false;
        }
        if (!indicadorLancamento(flag, &l.lancamento)) {
            erro = QStringLiteral("%1: o indicador de %2 \"%3\" não é válido (use 1 ou 0)")
                       .arg(onde(),
                           m_tipo == TipoPlano::Contas ? QStringLiteral("conta lançadora") : QStringLiteral("centro lançador"),
                           citacao(flag));
            return false;
        }
        if (const QString e = validaLinha(l, m_tipo); !e.isEmpty()) {
            erro = onde() + QStringLiteral(": ") + e;
            return false;
        }
        const qint64 antes = m_linhas->bytes();
        m_linhas->junta(l);
        *m_custo += m_linhas->bytes() - antes + custoChave(l);
        if (*m_custo > kLinhasMaximas) {
            erro = QStringLiteral("%1: as folhas têm mais linhas do que os %2 MB aceites, mais do que qualquer plano")
                       .arg(onde(), QString::number(kLinhasMaximas / (1024 * 1024)));
            return false;
        }
        ++m_linha;
        for (QString &c : m_celulas)
            c.clear();
        return true;
    }

    int m_folha;
    QString m_nome;
    TipoPlano m_tipo;
    bool m_semFormulas;
    Linhas *m_linhas;
    qint64 *m_custo;
    Uniao m_uniao;
    int m_linha = 2;
    QString m_celulas[4];
    QString m_recusado;
    bool m_aRecusada = false;
    bool m_acabou = false;
    bool m_fimComValores = false;
};

// Sheets 1 and 2 of a workbook, through its reader. On failure, the message to show.
template <class Leitor> bool leLivro(Leitor &x, const QString &caminho, Linhas *contas, Linhas *centros, QString *mensagem)
{
    QString erro;
    // The readers would take a file they may not open for a damaged one.
    if (!QFileInfo(caminho).isReadable()) {
        *mensagem
            = QStringLiteral("Não foi possível ler o ficheiro %1: sem permissão de leitura.\nNada foi importado.").arg(caminho);
        return false;
    }
    if (!x.abre(caminho, &erro)) {
        *mensagem = QStringLiteral("Não foi possível ler o ficheiro %1: %2.\nNada foi importado.").arg(caminho, erro);
        return false;
    }
    if (x.numeroFolhas() < 2) {
        *mensagem = QStringLiteral("O ficheiro %1 não tem a folha 2 (centros de custo).\nNada foi importado.").arg(caminho);
        return false;
    }
    qint64 custo = 0;
    for (int folha : { 1, 2 }) {
        LinhasDaFolha::Uniao uniao;
        if constexpr (std::is_same_v<Leitor, LeitorXlsx>)
            uniao = [&x, folha](int linha, QString *intervalo, QString *e) { return x.uniao(folha, linha, 1, intervalo, e); };
        LinhasDaFolha linhas(folha, x.nomeFolha(folha), folha == 1 ? TipoPlano::Contas : TipoPlano::CentrosCusto,
            std::is_same_v<Leitor, LeitorXls>, folha == 1 ? contas : centros, &custo, uniao);
        if (!x.percorre(
                folha, [&](const CelulaLivro &c) { return linhas.celula(c); }, &erro)) {
            *mensagem = QStringLiteral("Não foi possível ler o ficheiro %1: %2.\nNada foi importado.").arg(caminho, erro);
            return false;
        }
        if (!linhas.termina()) {
            *mensagem
                = QStringLiteral("O ficheiro %1 não pode ser importado: %2.\nNada foi importado.").arg(caminho, linhas.erro);
            return false;
        }
    }
    return true;
}

// The outside database's rows (a workbook's are checked as they are read).
bool valida(const Linhas &linhas, TipoPlano t, QString *erro)
{
    return linhas.percorre([&](const LinhaPlano &l) {
        const QString e = validaLinha(l, t);
        if (!e.isEmpty())
            *erro = QStringLiteral("base de dados externa, %1 \"%2\": ").arg(destino(t).tabela, citacao(l.codigo)) + e;
        return e.isEmpty();
    });
}

// The workbook as the settings name it; empty, after its message, when it does not exist.
QString ficheiroDoLivro(Session &s)
{
    QString pasta = s.gIxlsPath;
    if (!pasta.isEmpty() && !pasta.endsWith(QLatin1Char('/')) && !pasta.endsWith(QLatin1Char('\\')))
        pasta += QLatin1Char('/');
    const QString caminho = pasta + s.gImpXls;
    if (!QFileInfo(caminho).isFile()) {
        s.msg->informa(QStringLiteral("O ficheiro ") + caminho + QStringLiteral(" não existe"));
        return {};
    }
    return caminho;
}

} // namespace

QString textoCelulaPlano(const QVariant &v, bool *ok)
{
    if (ok)
        *ok = true;
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::floor(d)) {
            // From 2^53 on, a double no longer tells neighbouring whole numbers apart (2^53 + 1
            // reads as 2^53): such a code may already be altered, so it is refused.
            constexpr double limite = 9007199254740992.0;
            if (std::fabs(d) >= limite) {
                if (ok)
                    *ok = false;
                return {};
            }
            return QString::number(qint64(d));
        }
        // As LibreOffice shows it: 15 significant digits, never an exponent (0.000001, not 1e-06).
        return QString::number(QString::number(d, 'g', 15).toDouble(), 'f', QLocale::FloatingPointShortest);
    }
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (v.typeId() == QMetaType::QTime)
        return v.toTime().toString(QStringLiteral("hh:mm:ss"));
    return v.toString().trimmed();
}

bool indicadorLancamento(const QString &texto, int *valor)
{
    const QString t = texto.trimmed().toLower();
    bool numero = false;
    const double d = t.toDouble(&numero);
    if (numero) {
        *valor = d != 0 ? 1 : 0;
        return true;
    }
    if (t == QLatin1String("true") || t == QLatin1String("verdadeiro") || t == QLatin1String("sim")) {
        *valor = 1;
        return true;
    }
    if (t == QLatin1String("false") || t == QLatin1String("falso") || t == QStringLiteral("não") || t == QLatin1String("nao")) {
        *valor = 0;
        return true;
    }
    return false;
}

bool ImportaPlanos(Session &s)
{
    if (!s.msg->perguntaOkCancelar(QStringLiteral("Confirma Importação"), QString(), Mensagens::Icone::Nenhum))
        return false;

    const bool externa = s.gTipoImp == QLatin1String("S");
    const bool livro = s.gTipoImp == QLatin1String("X") && s.gImportaExcel;
    if (!externa && !livro)
        return false;

    Linhas contas, centros;
    // Cost centres come from the outside database only with the module on; the workbook's
    // second sheet is always read.
    const bool leCentros = livro || s.gAnaliticaAtiva;
    QString erro;
    if (externa) {
        CursorEspera cursor;
        QSqlDatabase ext = abreLigacao(s.gLigacao2, &erro);
        if (!ext.isValid() || !leExterna(ext, TipoPlano::Contas, s, &contas, &erro)
            || (leCentros && !leExterna(ext, TipoPlano::CentrosCusto, s, &centros, &erro))) {
            s.msg->erroBaseDados(
                QStringLiteral("Não foi possível ler os planos da base de dados externa. Nada foi importado."), erro);
            return false;
        }
    } else {
        const QString caminho = ficheiroDoLivro(s);
        if (caminho.isEmpty())
            return false;
        // The program path of the old check is never set in this program: it is not checked.
        if (caminho.contains(QLatin1Char(' '))) {
            s.msg->informa(QStringLiteral("O caminho e nome do ficheiro de origem não podem conter espaços"));
            return false;
        }
        // Each workbook is read as it is named: no other file stands in for it.
        const bool xlsx = caminho.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
        if (!xlsx && !caminho.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive)) {
            s.msg->informa(
                QStringLiteral("O ficheiro %1 não é um livro do Excel (.xlsx ou .xls).\nNada foi importado.").arg(caminho));
            return false;
        }
        CursorEspera cursor;
        QString mensagem;
        LeitorXlsx lx;
        LeitorXls ls;
        if (xlsx ? !leLivro(lx, caminho, &contas, &centros, &mensagem) : !leLivro(ls, caminho, &contas, &centros, &mensagem)) {
            s.msg->informa(mensagem);
            return false;
        }
    }
    if (externa && (!valida(contas, TipoPlano::Contas, &erro) || !valida(centros, TipoPlano::CentrosCusto, &erro))) {
        s.msg->informa(QStringLiteral("Os planos não podem ser importados: %1.\nNada foi importado.").arg(erro));
        return false;
    }

    QSqlDatabase db = abreLigacao(s.gLigacao1, &erro);
    int novasContas = 0, novosCentros = 0;
    bool incerta = false;
    {
        CursorEspera cursor;
        const QString ano = QString::number(s.gAno);
        QSet<QString> temContas, temCentros;
        // What exists is read before the transaction, whose first statement then writes and
        // so waits its turn on SQLite; what another workstation adds meanwhile is skipped by
        // the unique indexes.
        if (db.isValid()
            && (!presentes(db, TipoPlano::Contas, ano, &temContas, &erro)
                || (leCentros && !presentes(db, TipoPlano::CentrosCusto, ano, &temCentros, &erro))))
            db = QSqlDatabase();
        if (db.isValid()) {
            Transacao t(db);
            if (!t.iniciada(&erro) || (novasContas = acrescenta(db, TipoPlano::Contas, ano, contas, temContas, &erro)) < 0
                || (leCentros && (novosCentros = acrescenta(db, TipoPlano::CentrosCusto, ano, centros, temCentros, &erro)) < 0)
                || !t.confirma(&erro)) {
                incerta = t.incerta();
                db = QSqlDatabase();
            }
        }
    }
    if (!db.isValid()) {
        s.msg->erroBaseDados(incerta ? QStringLiteral("Erro na importação dos planos.")
                                     : QStringLiteral("Erro na importação dos planos. Nada foi importado."),
            erro);
        return false;
    }
    // No message closes the import.
    return novasContas + novosCentros > 0;
}
