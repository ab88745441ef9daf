#include "core/inifile.h"

#include "core/appfolder.h"

#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringList>

namespace {

struct Linhas {
    QStringList linhas;
    bool lido = false;
    bool valido = true;
};

Linhas leFicheiro()
{
    Linhas r;
    QFile f(iniPath());
    if (!f.open(QIODevice::ReadOnly))
        return r;
    const QByteArray bytes = f.readAll();
    r.lido = true;
    auto decoder = QStringDecoder(QStringDecoder::Utf8);
    QString texto = decoder.decode(bytes);
    if (decoder.hasError() || bytes.contains('\0')) {
        // Older files may be Latin-1; a NUL byte means it is no text file at all.
        r.valido = !bytes.contains('\0');
        texto = QString::fromLatin1(bytes);
    }
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    r.linhas = texto.split(QLatin1Char('\n'));
    if (!r.linhas.isEmpty() && r.linhas.last().isEmpty())
        r.linhas.removeLast();
    return r;
}

bool eSeccao(const QString &linha, QString *nome)
{
    const QString t = linha.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']')))
        return false;
    *nome = t.mid(1, t.size() - 2).trimmed();
    return true;
}

bool eChave(const QString &linha, QString *chave, QString *valor)
{
    const QString t = linha.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return false;
    const int igual = t.indexOf(QLatin1Char('='));
    if (igual <= 0)
        return false;
    *chave = t.left(igual).trimmed();
    if (valor)
        *valor = t.mid(igual + 1).trimmed();
    return true;
}

} // namespace

QString iniPath()
{
    return appFolder() + QStringLiteral("/molvar.ini");
}

QString LeIni(const QString &seccao, const QString &chave, const QString &omissao)
{
    const Linhas f = leFicheiro();
    QString actual;
    bool dentro = false;
    for (const QString &linha : f.linhas) {
        QString nome, k, v;
        if (eSeccao(linha, &nome)) {
            dentro = nome.compare(seccao, Qt::CaseInsensitive) == 0;
        } else if (dentro && eChave(linha, &k, &v) && k.compare(chave, Qt::CaseInsensitive) == 0) {
            return v.left(2048);
        }
    }
    return omissao;
}

namespace {

// Sets one key in the lines of the file, keeping every other line as it was.
void poeChave(QStringList &l, const QString &seccao, const QString &chave, const QString &valor)
{
    QString limpo = valor;
    limpo.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    int inicio = -1, fim = l.size();
    for (int i = 0; i < l.size(); ++i) {
        QString nome;
        if (eSeccao(l[i], &nome)) {
            if (inicio >= 0) {
                fim = i;
                break;
            }
            if (nome.compare(seccao, Qt::CaseInsensitive) == 0)
                inicio = i;
        }
    }
    const QString nova = chave + QLatin1Char('=') + limpo;
    if (inicio < 0) {
        if (!l.isEmpty() && !l.last().trimmed().isEmpty())
            l << QString();
        l << QLatin1Char('[') + seccao + QLatin1Char(']') << nova;
        return;
    }
    int ultimaChave = inicio;
    for (int i = inicio + 1; i < fim; ++i) {
        QString k;
        if (eChave(l[i], &k, nullptr)) {
            ultimaChave = i;
            if (k.compare(chave, Qt::CaseInsensitive) == 0) {
                l[i] = nova;
                return;
            }
        }
    }
    l.insert(ultimaChave + 1, nova);
}

} // namespace

bool GravaIni(const QString &seccao, const QString &chave, const QString &valor, QString *erro)
{
    return GravaIni(QList<ChaveIni> { { seccao, chave, valor } }, erro);
}

bool GravaIni(const QList<ChaveIni> &chaves, QString *erro)
{
    Linhas f = leFicheiro();
    // A file that exists but cannot be read would be replaced by the new keys alone.
    if (!f.lido && QFile::exists(iniPath())) {
        if (erro)
            *erro = QStringLiteral("Não foi possível ler o ficheiro de configurações \"%1\".").arg(iniPath());
        return false;
    }
    for (const ChaveIni &c : chaves)
        poeChave(f.linhas, c.seccao, c.chave, c.valor);
    const QStringList &l = f.linhas;

    QString msg;
    if (!ensureAppFolder(&msg)) {
        if (erro)
            *erro = msg;
        return false;
    }
    // Written through a temporary file: a failure never leaves half a settings file.
    QSaveFile out(iniPath());
    if (!out.open(QIODevice::WriteOnly)) {
        if (erro)
            *erro = QStringLiteral("Não foi possível gravar o ficheiro de configurações \"%1\": %2")
                        .arg(iniPath(), out.errorString());
        return false;
    }
    // It holds server passwords: readable by its owner only.
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    out.write((l.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (!out.commit()) {
        if (erro)
            *erro = QStringLiteral("Não foi possível gravar o ficheiro de configurações \"%1\": %2")
                        .arg(iniPath(), out.errorString());
        return false;
    }
    return true;
}

EstadoIni garanteIni(QString *mensagem)
{
    QString erro;
    if (!ensureAppFolder(&erro)) {
        if (mensagem)
            *mensagem = erro;
        return EstadoIni::Erro;
    }
    if (QFile::exists(iniPath())) {
        const Linhas f = leFicheiro();
        bool temSeccao = false;
        for (const QString &linha : f.linhas) {
            QString nome;
            if (eSeccao(linha, &nome) && nome.compare(QStringLiteral("DATABASE1"), Qt::CaseInsensitive) == 0)
                temSeccao = true;
        }
        if (!f.lido || !f.valido || !temSeccao) {
            if (mensagem)
                *mensagem = QStringLiteral("O ficheiro de configurações \"%1\" está danificado ou incompleto "
                                           "(falta a secção DATABASE1). Corrija-o ou configure de novo as ligações.")
                                .arg(iniPath());
            return EstadoIni::Danificado;
        }
        return EstadoIni::Ok;
    }
    const struct {
        const char *seccao, *chave, *valor;
    } omissoes[] = {
        { "DATABASE1", "Connect_sql", "Driver=SQLite;" },
        { "DATABASE1", "Connect_sql1", "Database=molvar.db;" },
        { "DATABASE1", "Connect_sql2", "" },
        { "DATABASE1", "Connect_sql3", "" },
        { "DATABASE1", "Connect_shape", "" },
        { "DATABASE2", "Connect_sql", "" },
        { "DATABASE2", "Connect_sql1", "" },
        { "DATABASE2", "Connect_sql2", "" },
        { "DATABASE2", "Connect_sql3", "" },
        { "DATABASE2", "Connect_shape", "" },
    };
    QList<ChaveIni> chaves;
    for (const auto &o : omissoes)
        chaves.append({ QString::fromLatin1(o.seccao), QString::fromLatin1(o.chave), QString::fromLatin1(o.valor) });
    chaves.append({ QStringLiteral("CAMINHO"), QStringLiteral("path"), appFolder() });
    if (!GravaIni(chaves, &erro)) {
        if (mensagem)
            *mensagem = erro;
        return EstadoIni::Erro;
    }
    return EstadoIni::Criado;
}
