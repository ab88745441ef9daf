#pragma once

#include "core/mensagens.h"

#include <QList>
#include <QStringList>

// Scripted answers for message boxes: records every box shown and answers from a queue.
// A question with no scripted answer is answered No/Cancel and counted, so a test that
// did not expect it can fail on semRespostas.
class MensagensFalsas : public Mensagens
{
public:
    struct Registo {
        QString texto;
        QString titulo;
        Botoes botoes;
        Icone icone;
    };

    Resposta mostra(const QString &texto, const QString &titulo, Botoes botoes, Icone icone) override;

    void responde(Resposta r) { respostas.append(r); }
    QStringList textos() const;
    QString ultimo() const { return mostradas.isEmpty() ? QString() : mostradas.last().texto; }
    void limpa();

    QList<Registo> mostradas;
    QList<Resposta> respostas;
    int semRespostas = 0;
};
