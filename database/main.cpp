// velmora-db: creates and upgrades the schema, loads fixtures and generates demonstration data on
// the database that the settings name (the same file the host and the application server read).
#include "Databases.h"
#include "Demo.h"
#include "Fixture.h"
#include "Schema.h"
#include "data/DBConnection.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

const char usage[] =
    "Uso: velmora-db [--config ARQUIVO] COMANDO\n"
    "\n"
    "Comandos:\n"
    "  create                  cria o banco de dados (se preciso) e o esquema\n"
    "  upgrade                 cria as tabelas e colunas que faltam num banco já criado, sem\n"
    "                          tocar nos dados\n"
    "  load ARQUIVO.json       carrega uma carga de dados numa única transação\n"
    "  demo [opções]           gera dados de demonstração num banco vazio\n"
    "     --documents N        documentos de entrada (padrão 1000)\n"
    "     --suppliers N        fornecedores (padrão: um décimo dos documentos, ao menos 50)\n"
    "     --companies N        empresas (padrão 3)\n"
    "     --branches N         filiais por empresa (padrão 4)\n"
    "     --months N           meses de movimento a partir de --start (padrão 24)\n"
    "     --start AAAA-MM      primeiro mês (padrão 2023-01)\n"
    "     --seed N             semente dos dados (padrão fixo: mesmos dados a cada execução)\n"
    "\n"
    "O banco de dados vem da seção [Database] do arquivo de configuração (--config ou\n"
    "VELMORA_CONFIG); sem arquivo, um SQLite demo.sqlite na pasta atual.\n";

qint64 number(const QStringList &args, int &i, const QString &option)
{
    bool ok = false;
    const qint64 n = i + 1 < args.size() ? args.at(i + 1).toLongLong(&ok) : 0;
    if (!ok)
        throw Exception(QStringLiteral("A opção %1 pede um número inteiro.").arg(option));
    ++i;
    return n;
}

Velmora::Db::DemoOptions demoOptions(const QStringList &args, int from)
{
    Velmora::Db::DemoOptions o;
    for (int i = from; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--documents"))
            o.documents = number(args, i, a);
        else if (a == QLatin1String("--suppliers"))
            o.suppliers = number(args, i, a);
        else if (a == QLatin1String("--companies"))
            o.companies = int(number(args, i, a));
        else if (a == QLatin1String("--branches"))
            o.branches = int(number(args, i, a));
        else if (a == QLatin1String("--months"))
            o.months = int(number(args, i, a));
        else if (a == QLatin1String("--seed"))
            o.seed = quint64(number(args, i, a));
        else if (a == QLatin1String("--start") && i + 1 < args.size()) {
            o.start = QDate::fromString(args.at(++i) + QStringLiteral("-01"), Qt::ISODate);
            if (!o.start.isValid())
                throw Exception(QStringLiteral("A opção --start pede um mês AAAA-MM."));
        } else
            throw Exception(QStringLiteral("Opção desconhecida para demo: %1").arg(a));
    }
    return o;
}

int run(const QStringList &all)
{
    QStringList args;
    for (int i = 1; i < all.size(); ++i) {
        if (all.at(i) == QLatin1String("--config")) {
            ++i; // read by configPath
            continue;
        }
        if (all.at(i).startsWith(QLatin1String("--config=")))
            continue;
        args << all.at(i);
    }
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h")) {
        out() << QString::fromUtf8(usage);
        return args.isEmpty() ? 2 : 0;
    }

    Velmora::Settings settings;
    const QString config = Velmora::configPath(all);
    if (!config.isEmpty())
        settings = Velmora::Settings::load(config);
    Velmora::installSettings(settings);
    Velmora::ConnectionSettings connection = Velmora::ConnectionSettings::fromSettings(settings);
    const QString command = args.first();
    QElapsedTimer clock;
    clock.start();

    if (command == QLatin1String("create")) {
        if (args.size() != 1)
            throw Exception(QStringLiteral("O comando create não tem argumentos."));
        Velmora::Db::CreateDatabase(connection);
        Velmora::DBConnection db(connection);
        Velmora::Db::CreateSchema(db);
        out() << QStringLiteral("Esquema criado em %1.\n").arg(connection.describe());
    } else if (command == QLatin1String("upgrade")) {
        if (args.size() != 1)
            throw Exception(QStringLiteral("O comando upgrade não tem argumentos."));
        Velmora::DBConnection db(connection);
        const Velmora::Db::SchemaUpgrade added = Velmora::Db::UpgradeSchema(db);
        for (const QString &line : added.lines())
            out() << line << QLatin1Char('\n');
        if (added.isEmpty())
            out() << QStringLiteral("O esquema já está atualizado.\n");
    } else if (command == QLatin1String("load")) {
        if (args.size() != 2)
            throw Exception(QStringLiteral("Uso: velmora-db load ARQUIVO.json"));
        Velmora::DBConnection db(connection);
        const Velmora::Db::FixtureResult r = Velmora::Db::LoadFixtureFile(db, args.at(1));
        for (auto it = r.rowsPerTable.begin(); it != r.rowsPerTable.end(); ++it)
            out() << QStringLiteral("%1: %2 linhas\n").arg(it.key()).arg(it.value());
        out() << QStringLiteral("%1 linhas carregadas em %2.\n")
                     .arg(r.rows)
                     .arg(connection.describe());
    } else if (command == QLatin1String("demo")) {
        const Velmora::Db::DemoOptions options = demoOptions(args, 1);
        Velmora::Db::CreateDatabase(connection);
        // Firebird writes every page through to the disk unless told otherwise: off for the
        // load, on again after it.
        Velmora::Db::SetForcedWrites(connection, false);
        Velmora::Db::DemoResult r;
        try {
            Velmora::DBConnection db(connection);
            r = Velmora::Db::GenerateDemo(db, options, [](const QString &line) {
                out() << line << '\n';
                out().flush();
            });
        } catch (...) {
            Velmora::Db::SetForcedWrites(connection, true);
            throw;
        }
        Velmora::Db::SetForcedWrites(connection, true);
        for (auto it = r.rowsPerTable.begin(); it != r.rowsPerTable.end(); ++it)
            out() << QStringLiteral("%1: %2 linhas\n").arg(it.key()).arg(it.value());
        out() << QStringLiteral("Demonstração gerada em %1 em %2 s.\n")
                     .arg(connection.describe())
                     .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1);
    } else {
        err() << QStringLiteral("Comando desconhecido: %1\n\n").arg(command)
              << QString::fromUtf8(usage);
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run(app.arguments());
    } catch (const Exception &e) {
        err() << e.Message() << '\n';
    } catch (const std::exception &e) {
        err() << QString::fromUtf8(e.what()) << '\n';
    }
    return 1;
}
