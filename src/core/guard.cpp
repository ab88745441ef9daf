#include "core/guard.h"

#include "core/mensagens.h"
#include "core/session.h"

bool VerificaDadosInic(Session &s)
{
    if (!s.gCodFirma.isEmpty() && s.gAno != 0 && s.gMes != 0)
        return true;
    if (s.msg)
        s.msg->mostra(QStringLiteral("Dados iniciais não inicializados!"), QStringLiteral("Aviso"), Mensagens::Botoes::Ok,
            Mensagens::Icone::Exclamacao);
    return false;
}
