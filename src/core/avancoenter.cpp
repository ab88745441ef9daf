#include "core/avancoenter.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

AvancoComEnter::AvancoComEnter(const QList<QWidget *> &campos, QAbstractButton *fim, QObject *parent)
    : QObject(parent)
    , m_campos(campos)
    , m_fim(fim)
{
    for (QWidget *c : m_campos)
        c->installEventFilter(this);
}

bool AvancoComEnter::eventFilter(QObject *obj, QEvent *ev)
{
    if (ev->type() != QEvent::KeyPress)
        return QObject::eventFilter(obj, ev);
    const int tecla = static_cast<QKeyEvent *>(ev)->key();
    if (tecla != Qt::Key_Return && tecla != Qt::Key_Enter)
        return QObject::eventFilter(obj, ev);
    const int i = m_campos.indexOf(static_cast<QWidget *>(obj));
    if (i < 0)
        return QObject::eventFilter(obj, ev);
    for (int j = i + 1; j < m_campos.size(); ++j) {
        if (m_campos[j]->isEnabled() && m_campos[j]->isVisible()) {
            m_campos[j]->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    if (m_fim && m_fim->isEnabled())
        m_fim->click();
    return true;
}
