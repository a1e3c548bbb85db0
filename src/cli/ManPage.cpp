#include "cli/ManPage.h"

#include "cli/Command.h"

#include <QStringList>

namespace tessa::cli {
namespace {

// Text as troff sets it literally: backslashes and hyphens escaped, a leading dot or quote guarded.
QString roff(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    out.replace(QLatin1Char('-'), QLatin1String("\\-"));
    if (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('\'')))
        out.prepend(QLatin1String("\\&"));
    return out;
}

} // namespace

QString manPageText(const QString& version) {
    QString page;
    page += QStringLiteral(".TH TESSA\\-CLI 1 \"\" \"Tessa %1\" \"User Commands\"\n").arg(roff(version));
    page += QStringLiteral(
        ".SH NAME\ntessa\\-cli \\- the call recorder's card and backup from the command line\n");
    page += QStringLiteral(".SH SYNOPSIS\n.B tessa\\-cli\n.I COMMAND\n.RI [ ARGS ]\n");
    page +=
        QStringLiteral(".SH DESCRIPTION\n"
                       "Reads call logs, recordings and phonebooks of the recorder's card, backs the card "
                       "up, verifies a backup and watches the drives for cards, as the window does.\n"
                       "With \\fB\\-\\-json\\fR a command prints one JSON document on standard output.\n");
    page += QStringLiteral(".SH COMMANDS\n");
    for (const auto& command : commandList()) {
        page += QStringLiteral(".TP\n.B %1\n").arg(roff(QLatin1String(command->name())));
        const QString synopsis = QLatin1String(command->synopsis());
        if (!synopsis.isEmpty())
            page += QStringLiteral(".I \"%1\"\n")
                        .arg(roff(synopsis).replace(QLatin1Char('"'), QLatin1String("\\(dq")));
        page += QStringLiteral(".br\n");
        for (const QString& line : QString::fromUtf8(command->summary()).split(QLatin1Char('\n')))
            page += roff(line) + QLatin1Char('\n');
    }
    page += QStringLiteral(".TP\n.B help\nshow the usage text\n");
    page +=
        QStringLiteral(".SH EXIT STATUS\n0 success, 1 bad or unreadable input (for \\fBverify\\fR: a copy "
                       "is missing or damaged), 2 wrong usage.\n");
    page += QStringLiteral(".SH ENVIRONMENT\n.TP\n.B TESSA_DRIVES\nfolders that act as removable drives, "
                           "for example \\fBE=/tmp/card1;F=/tmp/card2\\fR.\n");
    page += QStringLiteral(".SH FILES\n.TP\n.I ~/.config/systemd/user/tessa\\-watch.service\n"
                           "or the installed user unit \\fBtessa\\-watch.service\\fR runs \\fBtessa\\-cli "
                           "watch\\fR without the window.\n");
    page += QStringLiteral(".SH SEE ALSO\n.BR tessa (1),\n.BR sha256sum (1)\n");
    return page;
}

} // namespace tessa::cli
