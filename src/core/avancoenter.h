#pragma once

#include <QList>
#include <QObject>

class QAbstractButton;
class QWidget;

// Enter in a field moves to the next one, as data entry has always worked here; Enter in
// the last field presses the button that ends the form.
class AvancoComEnter : public QObject
{
    Q_OBJECT
public:
    AvancoComEnter(const QList<QWidget *> &campos, QAbstractButton *fim, QObject *parent);

protected:
    bool eventFilter(QObject *obj, QEvent *ev) override;

private:
    QList<QWidget *> m_campos;
    QAbstractButton *m_fim;
};
