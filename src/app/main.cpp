#include "core/connection.h"
#include "core/inifile.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "session/arranque.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("molvar"));
    QApplication::setApplicationDisplayName(tituloAplicacao());

    MensagensQt mensagens;
    QString aviso;
    switch (garanteIni(&aviso)) {
    case EstadoIni::Erro:
        mensagens.informa(aviso, QString(), Mensagens::Icone::Critico);
        return 1;
    case EstadoIni::Danificado:
        // The start-up window then offers the settings dialog to repair the connections.
        mensagens.informa(aviso, QString(), Mensagens::Icone::Exclamacao);
        break;
    case EstadoIni::Ok:
    case EstadoIni::Criado:
        break;
    }

    Session sessao;
    sessao.carregaConfiguracao();
    sessao.msg = &mensagens;
    iniciaPrograma(sessao);
    const int r = app.exec();
    fechaTodasLigacoes();
    return r;
}
