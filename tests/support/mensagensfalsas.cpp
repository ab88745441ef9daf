#include "support/mensagensfalsas.h"

Mensagens::Resposta MensagensFalsas::mostra(const QString &texto, const QString &titulo, Botoes botoes, Icone icone)
{
    mostradas.append({ texto, titulo, botoes, icone });
    if (!respostas.isEmpty())
        return respostas.takeFirst();
    if (botoes == Botoes::Ok)
        return Resposta::Ok;
    ++semRespostas;
    return botoes == Botoes::SimNao ? Resposta::Nao : Resposta::Cancelar;
}

QStringList MensagensFalsas::textos() const
{
    QStringList r;
    for (const Registo &m : mostradas)
        r << m.texto;
    return r;
}

void MensagensFalsas::limpa()
{
    mostradas.clear();
    respostas.clear();
    semRespostas = 0;
}
