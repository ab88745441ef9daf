#include "core/espera.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

Espera::Espera(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Espera"));
    setWindowTitle(QString());
    setModal(false);
    Label1 = new QLabel(QStringLiteral("OPERAÇÂO EM CURSO") + QString(21, QLatin1Char('.')), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont f = Label1->font();
    f.setBold(true);
    Label1->setFont(f);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Label1);
    l->addWidget(Label2);
    l->addWidget(ProgressBar1);
    setMinimumWidth(360);
}
