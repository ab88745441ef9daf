#include "session/main_confsql.h"

#include "core/connection.h"
#include "core/controlos.h"
#include "core/inifile.h"
#include "core/mensagens.h"
#include "core/session.h"
#include "models/modelos_txt.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kConfig = QStringLiteral("Configuracoes");

QString comSeparador(QString pasta)
{
    if (!pasta.isEmpty() && !pasta.endsWith(QLatin1Char('/')))
        pasta += QLatin1Char('/');
    return pasta;
}
} // namespace

MainConfSql::MainConfSql(Session &s, Momento momento, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
    , m_momento(momento)
{
    setObjectName(QStringLiteral("main_confsql"));
    setWindowTitle(QStringLiteral("Configurações"));

    Ligacao1 = new QLineEdit(ligacaoDaSeccao(QStringLiteral("DATABASE1")), this);
    Ligacao1->setObjectName(QStringLiteral("Ligacao1"));
    Ligacao1->setMinimumWidth(420);
    Ligacao2 = new QLineEdit(ligacaoDaSeccao(QStringLiteral("DATABASE2")), this);
    Ligacao2->setObjectName(QStringLiteral("Ligacao2"));

    Analitica = new QComboBox(this);
    Analitica->setObjectName(QStringLiteral("Analitica"));
    Analitica->addItems({ QStringLiteral("sim"), QStringLiteral("não") });
    Analitica->setCurrentIndex(s.gAnaliticaAtiva ? 0 : 1);
    TipoImp = new QComboBox(this);
    TipoImp->setObjectName(QStringLiteral("TipoImp"));
    TipoImp->addItem(QStringLiteral("S - Base de dados externa"), QStringLiteral("S"));
    TipoImp->addItem(QStringLiteral("X - Folha Excel"), QStringLiteral("X"));
    TipoImp->setCurrentIndex(s.gTipoImp == QLatin1String("X") ? 1 : 0);
    IxlsPath = new QLineEdit(s.gIxlsPath, this);
    IxlsPath->setObjectName(QStringLiteral("IxlsPath"));
    ImpXls = new QLineEdit(s.gImpXls, this);
    ImpXls->setObjectName(QStringLiteral("ImpXls"));
    Procurar = new QPushButton(QStringLiteral("..."), this);
    Procurar->setObjectName(QStringLiteral("Procurar"));
    Command11 = new QPushButton(QStringLiteral("Formato"), this);
    Command11->setObjectName(QStringLiteral("Command11"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto *ligacoes = new QGroupBox(QStringLiteral("Ligações SQL"), this);
    auto *fl = new QFormLayout(ligacoes);
    fl->addRow(QStringLiteral("Base de dados do programa:"), Ligacao1);
    fl->addRow(QStringLiteral("Base de dados da aplicação externa:"), Ligacao2);

    auto *importacao = new QGroupBox(QStringLiteral("Importação e analítica"), this);
    auto *fi = new QFormLayout(importacao);
    fi->addRow(QStringLiteral("Módulo de centros de custo:"), Analitica);
    fi->addRow(QStringLiteral("Importar planos de:"), TipoImp);
    auto *pasta = new QHBoxLayout;
    pasta->addWidget(IxlsPath);
    pasta->addWidget(Procurar);
    fi->addRow(QStringLiteral("Pasta da folha a importar:"), pasta);
    fi->addRow(QStringLiteral("Folha a importar:"), ImpXls);

    auto *botoes = new QHBoxLayout;
    botoes->addWidget(Command11);
    botoes->addStretch();
    botoes->addWidget(OKButton);
    botoes->addWidget(CancelButton);
    auto *l = new QVBoxLayout(this);
    l->addWidget(ligacoes);
    l->addWidget(importacao);
    l->addLayout(botoes);

    connect(Procurar, &QPushButton::clicked, this, &MainConfSql::procuraFolha);
    connect(Command11, &QPushButton::clicked, this, &MainConfSql::abreModelos);
    connect(OKButton, &QPushButton::clicked, this, &MainConfSql::grava);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void MainConfSql::procuraFolha()
{
    const QString inicio = IxlsPath->text().isEmpty() ? QDir::homePath() : IxlsPath->text();
    const QString f = QFileDialog::getOpenFileName(
        this, QStringLiteral("Folha a importar"), inicio, QStringLiteral("Folhas Excel (*.xlsx);;Todos os ficheiros (*)"));
    if (f.isEmpty())
        return;
    const QFileInfo fi(f);
    IxlsPath->setText(comSeparador(fi.absolutePath()));
    ImpXls->setText(fi.fileName());
}

void MainConfSql::abreModelos()
{
    auto *d = new Modelos_Txt(m_s, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->open();
}

void MainConfSql::grava()
{
    const QString l1 = Ligacao1->text().trimmed();
    const QString l2 = Ligacao2->text().trimmed();
    // Each goes into one line of the settings file.
    if (!semCaracteresDeControlo(m_s.msg,
            { { QStringLiteral("Base de dados do programa"), l1, Ligacao1 },
                { QStringLiteral("Base de dados da aplicação externa"), l2, Ligacao2 },
                { QStringLiteral("Pasta da folha a importar"), IxlsPath->text(), IxlsPath },
                { QStringLiteral("Folha a importar"), ImpXls->text(), ImpXls } }))
        return;
    const DadosLigacao d1 = DadosLigacao::interpretaPropria(l1);
    if (!d1.erro.isEmpty()) {
        m_s.msg->informa(QStringLiteral("A ligação à base de dados do programa não é válida:\n\n") + d1.erro);
        Ligacao1->setFocus();
        return;
    }
    if (!l2.isEmpty()) {
        const DadosLigacao d2 = DadosLigacao::interpreta(l2);
        if (!d2.erro.isEmpty()) {
            m_s.msg->informa(QStringLiteral("A ligação à base de dados da aplicação externa não é válida:\n\n") + d2.erro);
            Ligacao2->setFocus();
            return;
        }
    }
    const QString tipoImp = TipoImp->currentData().toString();
    const QString pasta = comSeparador(IxlsPath->text().trimmed());
    const QString folha = ImpXls->text().trimmed();
    const QString analitica = Analitica->currentText();

    const QList<ChaveIni> chaves = chavesDaLigacao(QStringLiteral("DATABASE1"), l1)
        + chavesDaLigacao(QStringLiteral("DATABASE2"), l2)
        + QList<ChaveIni> {
              { kConfig, QStringLiteral("analitica"), analitica },
              { kConfig, QStringLiteral("TipoImp"), tipoImp },
              { kConfig, QStringLiteral("IxlsPath"), pasta },
              { kConfig, QStringLiteral("ImpXls"), folha },
          };
    // One write: a failure leaves the file exactly as it was.
    QString erro;
    if (!GravaIni(chaves, &erro)) {
        m_s.msg->informa(QStringLiteral("Não foi possível gravar as configurações:\n\n") + erro);
        return;
    }
    const bool ligacoesMudaram = l1 != m_s.gLigacao1.trimmed() || l2 != m_s.gLigacao2.trimmed();
    if (m_momento == Momento::Arranque) {
        m_s.gLigacao1 = ligacaoDaSeccao(QStringLiteral("DATABASE1"));
        m_s.gLigacao2 = ligacaoDaSeccao(QStringLiteral("DATABASE2"));
    } else if (ligacoesMudaram) {
        // Moving a running session to another database would mix two companies' data.
        m_s.msg->informa(QStringLiteral("As ligações alteradas foram gravadas e serão usadas no próximo arranque do programa."));
    }
    m_s.gAnaliticaAtiva = analitica == QLatin1String("sim");
    m_s.gImportaExcel = true;
    m_s.gTipoImp = tipoImp;
    m_s.gIxlsPath = pasta;
    m_s.gImpXls = folha;
    accept();
    emit gravado();
}
