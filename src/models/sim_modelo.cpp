#include "models/sim_modelo.h"

#include "core/connection.h"
#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "core/twips.h"

#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

namespace {
template <typename W> W *poe(W *w, const char *nome, const QRect &r)
{
    w->setObjectName(QString::fromLatin1(nome));
    w->setGeometry(r);
    return w;
}

// Grows a control to what its text needs.
void cabe(QWidget *w, bool naLargura)
{
    const QSize s = w->sizeHint();
    w->resize(naLargura ? qMax(w->width(), s.width()) : w->width(), qMax(w->height(), s.height()));
}

// Moves each group of controls (a label and what stands under it) right of the group
// before it, a gap apart, where they would overlap.
void separa(const QList<QList<QWidget *>> &grupos, int folga)
{
    int fim = 0;
    for (const QList<QWidget *> &grupo : grupos) {
        int inicio = grupo.first()->x();
        for (const QWidget *w : grupo)
            inicio = qMin(inicio, w->x());
        const int desloca = qMax(0, fim + folga - inicio);
        for (QWidget *w : grupo) {
            w->move(w->x() + desloca, w->y());
            fim = qMax(fim, w->geometry().right() + 1);
        }
    }
}

// Moves the controls down to a gap below the lowest edge of those above them.
void abaixo(const QList<QWidget *> &cima, const QList<QWidget *> &baixo, int folga)
{
    int fim = 0;
    for (const QWidget *w : cima)
        fim = qMax(fim, w->geometry().bottom() + 1);
    for (QWidget *w : baixo)
        w->move(w->x(), qMax(w->y(), fim + folga));
}
} // namespace

Sim_Modelo::Sim_Modelo(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Sim_Modelo"));
    setWindowTitle(QStringLiteral("Simulação de modelos"));
    // One scale for the whole window, that of its own font.
    auto twips = [this](int esquerda, int topo, int largura, int altura) {
        return twipsParaPixels(QRect(esquerda, topo, largura, altura), this);
    };
    auto px = [this](int t) { return twipsParaPixels(t, this); };
    Label1 = poe(new QLabel(QStringLiteral("Modelo"), this), "Label1", twips(200, 300, 1095, 255));
    Modelo = poe(new DataCombo(this), "Modelo", twips(200, 540, 1560, 315));
    Label2 = poe(new QLabel(QStringLiteral("Data de Integração"), this), "Label2", twips(2040, 300, 1815, 285));
    DTPicker1 = poe(new QDateEdit(this), "DTPicker1", twips(2040, 540, 1335, 285));
    DTPicker1->setDisplayFormat(QLatin1String(kFormatoData));
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
    Label2->move(px(200), Label2->y());
    DTPicker1->move(px(200), DTPicker1->y());
    Label3->move(px(2040), Label3->y());
    Text1->move(px(2640), Text1->y());
    Label4->move(px(3720), Label4->y());
    Text2->move(px(3720), Text2->y());
    resize(px(6000), px(2100));
    // The design's measures fit its own font: in another, a label or the date can need more
    // room. A label takes its text's size, the date and the buttons grow to theirs; what
    // stands to their right or below moves on, so nothing overlaps; the window holds them.
    const int folga = px(120);
    for (QLabel *l : { Label2, Label3, Label4 })
        l->resize(l->sizeHint());
    cabe(DTPicker1, true);
    cabe(Text1, false);
    cabe(Text2, false);
    cabe(SimButton, true);
    cabe(CancelButton, true);
    abaixo({ Label2, Label3, Label4 }, { DTPicker1, Text1, Text2 }, px(30));
    separa({ { Label2, DTPicker1 }, { Label3, Text1 }, { Label4, Text2 } }, folga);
    abaixo({ DTPicker1, Text1, Text2 }, { SimButton, CancelButton }, folga);
    separa({ { SimButton }, { CancelButton } }, folga);
    int largura = width(), altura = height();
    for (const QWidget *w : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isHidden())
            continue;
        largura = qMax(largura, w->geometry().right() + 1 + px(200));
        altura = qMax(altura, w->geometry().bottom() + 1 + px(300));
    }
    resize(largura, altura);

    m_proximo = proximoNumDiario();
    const QDate data = QDate::fromString(m_s.gDataProc, QLatin1String(kFormatoData));
    if (data.isValid())
        DTPicker1->setDate(data);
    Text2->setText(m_proximo ? QString::number(*m_proximo) : QString());
}

std::optional<qint64> Sim_Modelo::proximoNumDiario()
{
    QString erro;
    QSqlDatabase db = abreLigacao(m_s.gLigacao1, &erro);
    QSqlQuery q(db);
    if (!db.isValid()
        || !executa(
            q, QStringLiteral("select max(numdiario) as diamax from Molvar where CodFirma=?"), { m_s.gCodFirma }, &erro)) {
        m_s.msg->erroBaseDados(QStringLiteral("Não foi possível ler o número do diário."), erro);
        return std::nullopt;
    }
    if (!q.next() || q.value(0).isNull())
        return 1;
    // Counted wide: the number after the highest stored one is shown as it is.
    return q.value(0).toLongLong() + 1;
}
