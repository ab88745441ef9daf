#include "core/zipleitor.h"

#include <QFile>

#include <zlib.h>

namespace {
quint16 u16(const QByteArray &d, qsizetype p)
{
    return static_cast<quint16>(static_cast<uchar>(d[p]) | (static_cast<uchar>(d[p + 1]) << 8));
}
quint32 u32(const QByteArray &d, qsizetype p)
{
    return static_cast<quint32>(u16(d, p)) | (static_cast<quint32>(u16(d, p + 2)) << 16);
}
} // namespace

bool ZipLeitor::abre(const QString &caminho, QString *erro)
{
    m_entradas.clear();
    m_dados.clear();
    auto falha = [&](const QString &m) {
        if (erro)
            *erro = m;
        m_entradas.clear();
        m_dados.clear();
        return false;
    };
    QFile f(caminho);
    if (!f.open(QIODevice::ReadOnly))
        return falha(QStringLiteral("Não foi possível abrir \"%1\": %2").arg(caminho, f.errorString()));
    m_dados = f.readAll();
    const QByteArray &d = m_dados;

    // The end-of-central-directory record lies in the last 64 KiB + 22 bytes.
    qsizetype fim = -1;
    for (qsizetype p = d.size() - 22; p >= 0 && p >= d.size() - 22 - 65535; --p) {
        if (u32(d, p) == 0x06054b50u) {
            fim = p;
            break;
        }
    }
    if (fim < 0)
        return falha(QStringLiteral("\"%1\" não é um ficheiro .xlsx válido.").arg(caminho));
    const quint16 total = u16(d, fim + 10);
    qsizetype p = u32(d, fim + 16);
    for (quint16 i = 0; i < total; ++i) {
        if (p + 46 > d.size() || u32(d, p) != 0x02014b50u)
            return falha(QStringLiteral("O ficheiro \"%1\" está danificado.").arg(caminho));
        Entrada e;
        e.metodo = u16(d, p + 10);
        e.comprimido = u32(d, p + 20);
        e.tamanho = u32(d, p + 24);
        const quint16 lNome = u16(d, p + 28), lExtra = u16(d, p + 30), lComentario = u16(d, p + 32);
        e.offsetLocal = u32(d, p + 42);
        if (p + 46 + lNome > d.size())
            return falha(QStringLiteral("O ficheiro \"%1\" está danificado.").arg(caminho));
        m_entradas.insert(QString::fromUtf8(d.mid(p + 46, lNome)), e);
        p += 46 + lNome + lExtra + lComentario;
    }
    return true;
}

bool ZipLeitor::le(const QString &nome, QByteArray *out) const
{
    const auto it = m_entradas.constFind(nome);
    if (it == m_entradas.cend())
        return false;
    const Entrada &e = it.value();
    const QByteArray &d = m_dados;
    const qsizetype p = e.offsetLocal;
    if (p + 30 > d.size() || u32(d, p) != 0x04034b50u)
        return false;
    const qsizetype inicio = p + 30 + u16(d, p + 26) + u16(d, p + 28);
    if (inicio + qsizetype(e.comprimido) > d.size())
        return false;
    if (e.metodo == 0) {
        *out = d.mid(inicio, e.comprimido);
        return true;
    }
    if (e.metodo != 8)
        return false;
    // Deflate packs at most about 1032 to 1: a larger declared size is a damaged entry,
    // not a reason to reserve gigabytes.
    if (quint64(e.tamanho) > quint64(e.comprimido) * 1032 + 64)
        return false;
    out->resize(e.tamanho);
    z_stream z = {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(d.constData() + inicio));
    z.avail_in = e.comprimido;
    z.next_out = reinterpret_cast<Bytef *>(out->data());
    z.avail_out = e.tamanho;
    const int r = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return r == Z_STREAM_END && z.total_out == e.tamanho;
}
