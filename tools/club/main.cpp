// tallic-club: a club's own data, for the person who sets up the office.
//
//   tallic-club COMMAND [OPTIONS] ARGUMENTS     tallic-club --help, tallic-club COMMAND --help

#include "commands.h"
#include "console.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <functional>

using namespace Qt::Literals::StringLiterals;
using namespace tallic::club;

namespace {

struct Command
{
    QString name;
    QString usage;
    QString help;
    QStringList options; // the flags it takes
    int arguments; // how many, at least
    bool more; // whether more may follow
    std::function<Outcome(const QStringList &, const QStringList &, Console &)> run;
};

const QString DataFolderNote
    = u"A data folder DIR is a folder of the suite's databases (daily.mdb, config.mdb, ...), or "
      u"a folder whose tallic.ini names a PostgreSQL server, where they are schemas."_s;

QList<Command> commands()
{
    return {
        { u"new"_s,
          u"new DIR [--postgres]"_s,
          u"Makes the eight suite databases of a new club in DIR, with every table and column "
          u"the program and its companions read, and one configuration row: the A/R month and "
          u"year of today, the A/R and current-profit accounts unset. Refuses a DIR (or server "
          u"database) that holds any suite database.\n  --postgres  insist on the server that "
          u"DIR's tallic.ini names"_s,
          { u"--postgres"_s },
          1,
          false,
          [](const QStringList &a, const QStringList &o, Console &c) {
              return commandNew(a.at(0), o.contains(u"--postgres"_s), c);
          } },
        { u"settings"_s,
          u"settings DIR [NAME=VALUE ...]"_s,
          u"Prints the club's settings by name with their values; with NAME=VALUE changes them, "
          u"each value checked as Tallic reads it at start-up. Nothing changes when one is "
          u"refused."_s,
          {},
          1,
          true,
          [](const QStringList &a, const QStringList &, Console &c) {
              return commandSettings(a.at(0), a.mid(1), c);
          } },
        { u"check"_s,
          u"check DIR"_s,
          u"Checks every database (its integrity on files), every table and column the program "
          u"reads, the configuration row, its accounts (the A/R and current-profit accounts in "
          u"G/L, a level-1 account to post to, rates of at most 1) and every member's class; "
          u"each finding says what it breaks for the operator. Exits 1 when there is a "
          u"finding."_s,
          {},
          1,
          false,
          [](const QStringList &a, const QStringList &, Console &c) {
              return commandCheck(a.at(0), c);
          } },
        { u"import-csv"_s,
          u"import-csv DIR KIND FILE [KIND FILE ...] [--update]"_s,
          u"Adds the rows of UTF-8 CSV files to the club. KIND is members, classes, accounts "
          u"(G/L accounts with their A/R rates) or employees; the first line names the suite's "
          u"columns (acctnumber, lname, ...); comma or semicolon; quoted fields; CRLF or LF. "
          u"Several files are one import: a member's class may come in the same import. Every "
          u"line is checked as the program checks the keyed value; one bad line refuses them "
          u"all, each bad line listed with its number and the reason.\n  --update  change the "
          u"rows whose key is there already (refused otherwise)"_s,
          { u"--update"_s },
          3,
          true,
          [](const QStringList &a, const QStringList &o, Console &c) {
              return commandImportCsv(a.at(0), a.mid(1), o.contains(u"--update"_s), c);
          } },
        { u"import-legacy"_s,
          u"import-legacy OLD DIR"_s,
          u"Reads the club's old Access/Jet files in OLD (the suite's names, any letter case), "
          u"read-only, and writes every table, column and row into the new data folder DIR; "
          u"checks every table against its source (rows, sums, text lengths) and writes the "
          u"figures to DIR/import-report.txt, with what the program reads and did not find. "
          u"The suite's databases OLD lacks are made empty, with their tables."_s,
          {},
          2,
          false,
          [](const QStringList &a, const QStringList &, Console &c) {
              return commandImportLegacy(a.at(0), a.at(1), c);
          } },
        { u"copy"_s,
          u"copy FROM TO [--replace]"_s,
          u"Copies a whole club from one data folder to another (files to a server, a server to "
          u"files), checked and reported as import-legacy does (TO/import-report.txt).\n  "
          u"--replace  replace the data TO holds, after a backup of it into "
          u"TO/before-copy-DATE.tallic-backup"_s,
          { u"--replace"_s },
          2,
          false,
          [](const QStringList &a, const QStringList &o, Console &c) {
              return commandCopy(a.at(0), a.at(1), o.contains(u"--replace"_s), c);
          } },
        { u"backup"_s,
          u"backup DIR FILE [--overwrite]"_s,
          u"Writes one consistent backup of all the club's databases into FILE, while "
          u"workstations may go on posting, with a manifest of every table's rows and each "
          u"database's checksum. FILE is readable by its owner, and by the group where its "
          u"folder is shared with one.\n  --overwrite  replace FILE when it is there (refused "
          u"otherwise)"_s,
          { u"--overwrite"_s },
          2,
          false,
          [](const QStringList &a, const QStringList &o, Console &c) {
              return commandBackup(a.at(0), a.at(1), o.contains(u"--overwrite"_s), c);
          } },
        { u"restore"_s,
          u"restore FILE DIR [--force]"_s,
          u"Puts the club of a backup FILE back into DIR, replacing what is there, after "
          u"checking the backup against its manifest. Refused, naming them, while Tallic or "
          u"another program holds DIR's lock (tallic.lock, or on a server its advisory lock), "
          u"and for a club of a newer layout.\n  --force  restore even though the staff "
          u"table says someone is keying (for a workstation that stopped without closing "
          u"Tallic)"_s,
          { u"--force"_s },
          2,
          false,
          [](const QStringList &a, const QStringList &o, Console &c) {
              return commandRestore(a.at(0), a.at(1), o.contains(u"--force"_s), c);
          } },
    };
}

QString overview()
{
    QString text = u"usage: tallic-club COMMAND ...\n\nA club's own data: a new club, its old "
                   u"files, its lists, its backups, and the move to a server.\n\n"_s;
    for (const Command &command : commands())
        text += u"  tallic-club "_s + command.usage + u'\n';
    text += u"\n"_s + DataFolderNote
        + u"\n\ntallic-club COMMAND --help explains a command. Each command writes nothing "
          u"when it fails, and exits non-zero then. Each holds the data folder's lock while it "
          u"runs, and refuses a club written by a newer Tallic.\n"_s;
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == u"--help"_s || arguments.first() == u"-h"_s) {
        (arguments.isEmpty() ? err : out) << overview();
        return arguments.isEmpty() ? 2 : 0;
    }
    const QList<Command> all = commands();
    const Command *command = nullptr;
    for (const Command &candidate : all) {
        if (candidate.name == arguments.first())
            command = &candidate;
    }
    if (!command) {
        err << "tallic-club: unknown command " << arguments.first() << "\n\n" << overview();
        return 2;
    }
    const QString usage = u"usage: tallic-club "_s + command->usage + u'\n';
    QStringList positional, options;
    for (const QString &argument : arguments.mid(1)) {
        if (argument == u"--help"_s || argument == u"-h"_s) {
            out << usage << '\n' << command->help << "\n\n" << DataFolderNote << '\n';
            return 0;
        }
        if (argument.startsWith(u"--"_s)) {
            if (!command->options.contains(argument)) {
                err << "tallic-club " << command->name << ": unknown option " << argument << '\n'
                    << usage;
                return 2;
            }
            options << argument;
        } else {
            positional << argument;
        }
    }
    if (positional.size() < command->arguments
        || (!command->more && positional.size() > command->arguments)) {
        err << usage;
        return 2;
    }
    Console console;
    const Outcome outcome = command->run(positional, options, console);
    console.endProgress();
    out.flush();
    if (outcome.ok) {
        out << "tallic-club " << command->name << ": done: " << outcome.verdict << Qt::endl;
        return 0;
    }
    err << "tallic-club " << command->name << ": FAILED: " << outcome.verdict << Qt::endl;
    return 1;
}
