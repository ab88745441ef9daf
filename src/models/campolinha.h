#pragma once

#include <QList>
#include <QString>

#include <array>

class DataCombo;
class RegistoItem;

// One option of a MenusMod list: its code and its designation as stored.
struct Opcao {
    qint16 codigo = 0;
    QString designacao;
};
using ListaOpcoes = QList<Opcao>;

// The options of a combo filled by preencheOpcoes, in the combo's order.
ListaOpcoes opcoesDoCombo(const DataCombo *combo);

// One field of a line layout: the twelve stored members and the descriptions of the coded ones.
struct CampoLinha {
    qint16 Conteudo = 0;
    qint16 Comprimento = 0;
    QString Tipo = QStringLiteral("C");
    qint16 SinalDC = 0;
    qint16 Alinhamento = 0;
    QString TextoFixo;
    qint16 SimboloDecimal = 0;
    qint16 CasasDecimais = 0;
    qint16 SinalNegativo = 0;
    qint16 OrdemData = 0;
    qint16 SeparadorData = 0;
    qint16 DigitosAno = 0;

    QString DescConteudo;
    QString DescSinalDC;
    QString DescAlinhamento;
    QString DescSimboloDecimal;
    QString DescOrdemData;
    QString DescSeparadorData;
    QString DescDigitosAno;
    QString DescSinalNegativo;
};

// Fields 1 to 24 of a line; index 0 is not used.
using CamposLinha = std::array<CampoLinha, 25>;

// The eight option lists of a line field, in the order the line window opens them.
enum ListaCampo { LConteudo, LSinalDC, LAlinhamento, LSimboloDecimal, LOrdemData, LSeparadorData, LDigitosAno, LSinalNegativo };
constexpr int kListasCampo = 8;
using OpcoesLinha = std::array<ListaOpcoes, kListasCampo>;
// The MenusMod list (tipomenu) behind each of them.
constexpr std::array<int, kListasCampo> kTipoMenuCampo { 6, 11, 7, 8, 9, 14, 10, 12 };

// The code and the description members of a field that one list fills.
qint16 &codigoDoCampo(CampoLinha &c, ListaCampo l);
QString &descricaoDoCampo(CampoLinha &c, ListaCampo l);

// Field n (1 to 24) of the line row into record n: the columns that its content code and
// type letter select, then every coded member looked up in its list by code (a code the
// list lacks becomes the list's first option).
void LeCampo(qint16 n, const RegistoItem &linha, CamposLinha &campos, const OpcoesLinha &opcoes);

// Record n (1 to 24) into the columns of field n of the line row, in memory only.
void GravaCampo(qint16 n, const CamposLinha &campos, RegistoItem &linha);
