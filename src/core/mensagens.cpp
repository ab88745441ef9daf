#include "core/mensagens.h"

#include "core/ocultasenhas.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

QString tituloAplicacao()
{
    return QStringLiteral("Molvar");
}

void Mensagens::informa(const QString &texto, const QString &titulo, Icone icone)
{
    mostra(ocultaChavesDeSenha(texto), titulo.isEmpty() ? tituloAplicacao() : titulo, Botoes::Ok, icone);
}

bool Mensagens::perguntaSimNao(const QString &texto, const QString &titulo, Icone icone)
{
    return mostra(ocultaChavesDeSenha(texto), titulo.isEmpty() ? tituloAplicacao() : titulo, Botoes::SimNao, icone) == Resposta::Sim;
}

bool Mensagens::perguntaOkCancelar(const QString &texto, const QString &titulo, Icone icone)
{
    return mostra(ocultaChavesDeSenha(texto), titulo.isEmpty() ? tituloAplicacao() : titulo, Botoes::OkCancelar, icone) == Resposta::Ok;
}

void Mensagens::erroBaseDados(const QString &accao, const QString &detalhe)
{
    mostra(ocultaChavesDeSenha(accao + QStringLiteral("\n\n") + detalhe), tituloAplicacao(), Botoes::Ok, Icone::Critico);
}

Mensagens::Resposta MensagensQt::mostra(const QString &texto, const QString &titulo, Botoes botoes, Icone icone)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(titulo);
    box.setText(texto);
    switch (icone) {
    case Icone::Nenhum:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icone::Informacao:
        box.setIcon(QMessageBox::Information);
        break;
    case Icone::Exclamacao:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icone::Pergunta:
        box.setIcon(QMessageBox::Question);
        break;
    case Icone::Critico:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (botoes) {
    case Botoes::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Botoes::SimNao:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sim"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&Não"));
        break;
    case Botoes::OkCancelar:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancelar"));
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Resposta::Sim;
    case QMessageBox::No:
        return Resposta::Nao;
    case QMessageBox::Cancel:
        return Resposta::Cancelar;
    case QMessageBox::Ok:
        return Resposta::Ok;
    default:
        // Closed without a choice: the safe answer.
        return botoes == Botoes::SimNao ? Resposta::Nao : botoes == Botoes::OkCancelar ? Resposta::Cancelar : Resposta::Ok;
    }
}
