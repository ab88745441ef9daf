#include "models/modelos_txt.h"

#include "core/session.h"
#include "models/del_modelo.h"
#include "models/new_modelo.h"
#include "models/sim_modelo.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

Modelos_Txt::Modelos_Txt(Session &s, QWidget *parent)
    : QDialog(parent)
    , m_s(s)
{
    setObjectName(QStringLiteral("Modelos_Txt"));
    setWindowTitle(QStringLiteral("Modelos"));

    barra = new QMenuBar(this);
    barra->setObjectName(QStringLiteral("barra"));
    // A dialog has no native menu bar: keep it inside the window on every platform.
    barra->setNativeMenuBar(false);
    menu_mod = barra->addMenu(QStringLiteral("Menu"));
    menu_mod->setObjectName(QStringLiteral("menu_mod"));
    auto entrada = [this](const char *nome, const QString &texto) {
        QAction *a = menu_mod->addAction(texto);
        a->setObjectName(QString::fromLatin1(nome));
        return a;
    };
    novo_mod = entrada("novo_mod", QStringLiteral("Novo"));
    alt_mod = entrada("alt_mod", QStringLiteral("Alterar"));
    apaga_mod = entrada("apaga_mod", QStringLiteral("Apagar"));
    simula_mod = entrada("simula_mod", QStringLiteral("Simular"));
    sai_mod = entrada("sai_mod", QStringLiteral("Sair"));

    auto *l = new QVBoxLayout(this);
    l->setMenuBar(barra);
    l->addStretch();
    resize(320, 160);

    connect(novo_mod, &QAction::triggered, this, [this] {
        m_s.gAlteraModelo = false;
        mostra(new New_Modelo(m_s, this));
    });
    connect(alt_mod, &QAction::triggered, this, [this] {
        m_s.gAlteraModelo = true;
        mostra(new Alt_Modelo(m_s, this));
    });
    connect(apaga_mod, &QAction::triggered, this, [this] { mostra(new Del_Modelo(m_s, this)); });
    connect(simula_mod, &QAction::triggered, this, [this] { mostra(new Sim_Modelo(m_s, this)); });
    connect(sai_mod, &QAction::triggered, this, &QWidget::close);
}

void Modelos_Txt::mostra(QDialog *d)
{
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->exec();
}
