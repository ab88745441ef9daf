#pragma once

#include <QString>

// The title of the program's message boxes.
QString tituloAplicacao();

// Every message box of the program goes through this interface: the program shows
// Qt message boxes, tests answer through a scripted fake. The helpers below mask every
// password in the text they show (see core/ocultasenhas.h).
class Mensagens
{
public:
    enum class Icone { Nenhum, Informacao, Exclamacao, Pergunta, Critico };
    enum class Botoes { Ok, SimNao, OkCancelar };
    enum class Resposta { Ok, Cancelar, Sim, Nao };

    virtual ~Mensagens() = default;
    virtual Resposta mostra(const QString &texto, const QString &titulo, Botoes botoes, Icone icone) = 0;

    // OK only; the application's title unless another is given.
    void informa(const QString &texto, const QString &titulo = QString(), Icone icone = Icone::Nenhum);
    // Yes and No; true on Yes.
    bool perguntaSimNao(const QString &texto, const QString &titulo, Icone icone);
    // OK and Cancel; true on OK.
    bool perguntaOkCancelar(const QString &texto, const QString &titulo, Icone icone);
    // A database failure: what was being done, then the database's own text.
    void erroBaseDados(const QString &accao, const QString &detalhe);
};

class MensagensQt : public Mensagens
{
public:
    Resposta mostra(const QString &texto, const QString &titulo, Botoes botoes, Icone icone) override;
};
