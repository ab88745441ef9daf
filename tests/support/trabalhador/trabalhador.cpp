// A second workstation for the tests: runs one task on a database that the test has set up,
// as a process of its own. It prints "pronto" just before the task's database work, then
// every message box the task showed ("mensagem: ..."), and exits with 0 when the task ran
// through: a workbook written, an import with no message after its question, an insert
// (whose answer the test reads).
//   trabalhador totais <ligacao> <firma> <conta> <destino.xlsx>   Tot_conta "Exportar" after 12-2024
//   trabalhador lista <ligacao> <firma> <pasta>                   ConsultTable "Exportar" into the program
//                                                                 folder <pasta>, once a line comes on stdin
//   trabalhador snc <ligacao> <ligacao externa> <firma>           the SNC conversion, answering "Sim"
//   trabalhador importa <ligacao> <ligacao externa> <firma>       chart import from the outside database
//   trabalhador novaconta <ligacao> <firma> <conta>               New_Poc "Inserir"
//   trabalhador novomodelo <ligacao> <firma> <nome>               New_Modelo "Codificar"
//   trabalhador novafirma <ligacao> <firma> <codigo>              MolvarInsFirma "OK"
//   trabalhador actualiza <ligacao> <firma>                       the start-up's update of the database, its
//                                                                 refusal as a message
//   trabalhador codifica <ligacao> <firma> <modelo>               Cod_det of line 3 "Inserir", once a line comes
//                                                                 on stdin
#include "charts/chartnew.h"
#include "charts/convertesnc.h"
#include "charts/importaplanos.h"
#include "core/datacombo.h"
#include "core/schema.h"
#include "models/cod_det.h"
#include "models/new_modelo.h"
#include "reports/consulttable.h"
#include "reports/totconta.h"
#include "session/molvarinsfirma.h"
#include "support/ambiente.h"

#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3)
        return 64;
    // Only a program folder of its own: the database is the test's.
    qunsetenv("MOLVAR_TEST_DB");
    int codigo = 1;
    {
        Ambiente a(false);
        a.sessao.gLigacao1 = args.at(1);
        const QString tarefa = args.at(0);
        const bool importa = tarefa == QLatin1String("importa");
        const bool snc = tarefa == QLatin1String("snc");
        if (!a.entra(args.at(importa || snc ? 3 : 2), 2024, 6))
            return 2;
        auto pronto = [] {
            std::printf("pronto\n");
            std::fflush(stdout);
        };
        if (tarefa == QLatin1String("totais") && args.size() == 5) {
            TotConta w(a.sessao);
            w.findChild<DataCombo *>(QStringLiteral("DataCombo1"))->setText(args.at(3));
            w.findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(QDate(2024, 12, 1));
            pronto();
            a.sessao.gExpCaminho.clear();
            w.findChild<QPushButton *>(QStringLiteral("ExportButton"))->click();
            // Only a workbook written counts; where it was written may have been told.
            QFile::remove(args.at(4));
            if (!a.sessao.gExpCaminho.isEmpty() && QFile::copy(a.sessao.gExpCaminho, args.at(4)))
                codigo = 0;
        } else if (importa && args.size() == 4) {
            a.sessao.gLigacao2 = args.at(2);
            a.sessao.gTipoImp = QStringLiteral("S");
            a.sessao.gAnaliticaAtiva = true;
            a.msgs.responde(Mensagens::Resposta::Ok); // "Confirma Importação"
            pronto();
            ImportaPlanos(a.sessao);
            codigo = a.msgs.mostradas.size() == 1 ? 0 : 1;
        } else if (tarefa == QLatin1String("lista") && args.size() == 4) {
            qputenv("MOLVAR_HOME", args.at(3).toUtf8());
            ConsultTable w(a.sessao);
            pronto();
            // Every workstation's export starts at the same moment.
            char linha[8];
            if (!std::fgets(linha, sizeof linha, stdin))
                return 3;
            a.sessao.gExpCaminho.clear();
            w.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
            std::printf("caminho: %s\n", qPrintable(a.sessao.gExpCaminho));
            codigo = a.sessao.gExpCaminho.isEmpty() ? 1 : 0;
        } else if (snc && args.size() == 4) {
            a.sessao.gLigacao2 = args.at(2);
            // Whatever comes before the closing question only informs.
            for (int i = 0; i < 3; ++i)
                a.msgs.responde(Mensagens::Resposta::Sim);
            pronto();
            codigo = ConverteSnc(a.sessao, nullptr) ? 0 : 1;
        } else if (tarefa == QLatin1String("novaconta") && args.size() == 4) {
            ChartNew w(a.sessao, TipoPlano::Contas);
            w.findChild<QLineEdit *>(QStringLiteral("ctpoc"))->setText(args.at(3));
            w.findChild<QLineEdit *>(QStringLiteral("Desccpoc"))->setText(QStringLiteral("Nova"));
            pronto();
            w.findChild<QPushButton *>(QStringLiteral("InsertButton"))->click();
            codigo = 0;
        } else if (tarefa == QLatin1String("novomodelo") && args.size() == 4) {
            New_Modelo w(a.sessao);
            w.modelo->setText(args.at(3));
            // Should the header be written, the item choice it opens must not wait for a user.
            QTimer fecha;
            QObject::connect(&fecha, &QTimer::timeout, [] {
                if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                    d->reject();
            });
            fecha.start(10);
            pronto();
            w.CodButton->click();
            codigo = 0;
        } else if (tarefa == QLatin1String("novafirma") && args.size() == 4) {
            MolvarInsFirma w(a.sessao);
            w.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(args.at(3));
            w.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(QStringLiteral("Nova"));
            pronto();
            w.findChild<QPushButton *>(QStringLiteral("OKButton"))->click();
            codigo = 0;
        } else if (tarefa == QLatin1String("actualiza") && args.size() == 3) {
            QString erro;
            pronto();
            if (!actualizaBaseDados(a.db(), &erro))
                a.msgs.informa(erro);
            codigo = 0;
        } else if (tarefa == QLatin1String("codifica") && args.size() == 4) {
            a.sessao.gModelo = args.at(3);
            a.sessao.gItemCodigo = 3;
            a.sessao.gAlteraModelo = true;
            Cod_det w(a.sessao);
            w.show();
            pronto();
            char linha[8];
            if (!std::fgets(linha, sizeof linha, stdin))
                return 3;
            w.findChild<QPushButton *>(QStringLiteral("InsertButton"))->click();
            codigo = 0;
        } else {
            return 64;
        }
        for (const QString &t : a.msgs.textos())
            std::printf("mensagem: %s\n", qPrintable(QString(t).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        std::fflush(stdout);
    }
    return codigo;
}
