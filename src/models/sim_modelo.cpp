#include "models/sim_modelo.h"

#include "core/connection.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"

#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

namespace {
// Positions are given in twips: 15 twips to a pixel.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

template <typename W> W *poe(W *w, const char *nome, const QRect &r)
{
    w->setObjectName(QString::fromLatin1(nome));
    w->setGeometry(r);
    return w;
}
} // namespace

Sim_Modelo::Sim_Modelo(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Sim_Modelo"));
    setWindowTitle(QStringLiteral("Simulação de modelos"));
    Label1 = poe(new QLabel(QStringLiteral("Modelo"), this), "Label1", twips(200, 300, 1095, 255));
    Modelo = poe(new DataCombo(this), "Modelo", twips(200, 540, 1560, 315));
    Label2 = poe(new QLabel(QStringLiteral("Data de Integração"), this), "Label2", twips(2040, 300, 1815, 285));
    DTPicker1 = poe(new QDateEdit(this), "DTPicker1", twips(2040, 540, 1335, 285));
    DTPicker1->setDisplayFormat(QStringLiteral("dd-MM-yyyy"));
    Label3 = poe(new QLabel(QStringLiteral("Diário de Contabilidade:"), this), "Label3", twips(3720, 300, 1815, 285));
    // A fixed journal code that nothing reads.
    Text1 = poe(new QLineEdit(QStringLiteral("DG"), this), "Text1", twips(4320, 540, 375, 285));
    Text1->setMaxLength(2);
    Label4 = poe(new QLabel(QStringLiteral("Nº do Diario"), this), "Label4", twips(5400, 300, 1335, 285));
    Text2 = poe(new QLineEdit(QStringLiteral("1"), this), "Text2", twips(5400, 540, 1335, 285));
    Text2->setMaxLength(8);
    SimButton = poe(new QPushButton(QStringLiteral("Simular"), this), "SimButton", twips(1320, 1200, 855, 375));
    SimButton->setAutoDefault(false);
    CancelButton = poe(new QPushButton(QStringLiteral("Cancelar"), this), "CancelButton", twips(4320, 1200, 855, 375));
    CancelButton->setAutoDefault(false);
    connect(CancelButton, &QPushButton::clicked, this, &QWidget::close);

    m_s.gTipoExp = QStringLiteral("D");

    // The model column is left out: the rest moves left.
    Label1->hide();
    Modelo->hide();
    Label2->move(200 / 15, Label2->y());
    DTPicker1->move(200 / 15, DTPicker1->y());
    Label3->move(2040 / 15, Label3->y());
    Text1->move(2640 / 15, Text1->y());
    Label4->move(3720 / 15, Label4->y());
    Text2->move(3720 / 15, Text2->y());
    resize(6000 / 15, 2100 / 15);

    m_proximo = proximoNumDiario();
    const QDate data = QDate::fromString(m_s.gDataProc, QStringLiteral("dd-MM-yyyy"));
    if (data.isValid())
        DTPicker1->setDate(data);
    Text2->setText(m_proximo > 0 ? QString::number(m_proximo) : QString());
}

qint64 Sim_Modelo::proximoNumDiario()
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    QSqlQuery q(db);
    if (!db.isValid()
        || !executa(
            q, QStringLiteral("select max(numdiario) as diamax from Molvar where CodFirma=?"), { m_s.gCodFirma }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler o número do diário."), erro);
        return -1;
    }
    if (!q.next() || q.value(0).isNull())
        return 1;
    // Counted wide: the number after the highest stored one is shown as it is.
    return q.value(0).toLongLong() + 1;
}
