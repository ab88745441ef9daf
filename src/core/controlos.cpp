#include "core/controlos.h"

#include "core/datacombo.h"
#include "core/mensagens.h"
#include "core/twips.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QtMath>

QLabel *rotulo(QWidget *pai, const char *nome, const QString &texto, QWidget *controlo)
{
    auto *l = new QLabel(texto, pai);
    l->setObjectName(QString::fromLatin1(nome));
    if (controlo)
        l->setBuddy(controlo);
    return l;
}

QLineEdit *caixa(QWidget *pai, const char *nome, int maximo, const QString &texto)
{
    auto *e = new QLineEdit(texto, pai);
    e->setObjectName(QString::fromLatin1(nome));
    e->setMaxLength(maximo);
    return e;
}

QLineEdit *caixaSenha(QWidget *pai, const char *nome)
{
    auto *e = new QLineEdit(pai);
    e->setObjectName(QString::fromLatin1(nome));
    e->setEchoMode(QLineEdit::Password);
    return e;
}

DataCombo *listaDados(QWidget *pai, const char *nome)
{
    auto *c = new DataCombo(pai);
    c->setObjectName(QString::fromLatin1(nome));
    return c;
}

QPushButton *botao(QWidget *pai, const char *nome, const QString &texto)
{
    auto *b = new QPushButton(texto, pai);
    b->setObjectName(QString::fromLatin1(nome));
    b->setAutoDefault(false);
    return b;
}

int larguraDeLetras(const QWidget *w, int letras)
{
    return qCeil(letras * letraMedia(w->font()));
}

void mostraCampoInteiro(QLineEdit *e)
{
    // The box's frame and margins, as its style draws them, around the letters.
    QStyleOptionFrame o;
    o.initFrom(e);
    o.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, e) : 0;
    o.midLineWidth = 0;
    o.state |= QStyle::State_Sunken;
    const QMargins m = e->textMargins();
    // QLineEdit keeps 2 pixels clear on each side of its text.
    const QSize texto(larguraDeLetras(e, e->maxLength()) + 4 + m.left() + m.right(), e->fontMetrics().height());
    e->setMinimumWidth(e->style()->sizeFromContents(QStyle::CT_LineEdit, &o, texto, e).width());
}

QHBoxLayout *linhaDeBotoes(const QList<QWidget *> &botoes)
{
    auto *l = new QHBoxLayout;
    l->addStretch();
    for (QWidget *b : botoes)
        l->addWidget(b);
    return l;
}

namespace {
class NoCanto : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *obj, QEvent *ev) override
    {
        if (ev->type() == QEvent::Show) {
            if (auto *sub = qobject_cast<QMdiSubWindow *>(static_cast<QWidget *>(obj)->parentWidget()))
                sub->move(0, 0);
            obj->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};
} // namespace

void colocaNoCantoAoMostrar(QWidget *w)
{
    w->installEventFilter(new NoCanto(w));
}

qsizetype caracterDeControlo(QStringView texto, QStringView permitidos)
{
    for (qsizetype i = 0; i < texto.size(); ++i)
        if (texto.at(i).category() == QChar::Other_Control && !permitidos.contains(texto.at(i)))
            return i;
    return -1;
}

bool semCaracteresDeControlo(Mensagens *msg, const QList<CampoEscrito> &campos)
{
    for (const CampoEscrito &c : campos) {
        const qsizetype i = caracterDeControlo(c.texto, c.permitidos);
        if (i < 0)
            continue;
        if (msg)
            msg->informa(QStringLiteral("O campo \"%1\" tem um carácter de controlo (U+%2) na posição %3: apague-o e escreva "
                                        "só texto.")
                             .arg(c.nome, QStringLiteral("%1").arg(c.texto.at(i).unicode(), 4, 16, QLatin1Char('0')).toUpper(),
                                 QString::number(i + 1)),
                QString(), Mensagens::Icone::Exclamacao);
        if (c.controlo)
            c.controlo->setFocus();
        return false;
    }
    return true;
}
