// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridgeoptions.h"

#include "link/program.h"
#include "shell/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

namespace orva
{

namespace
{

const QString kUsage =
    QStringLiteral("Usage: orva-pjlink --port COMn (--password-file FILE | --no-password)\n"
                   "                   [--listen ADDRESS:PORT] [--rate 9600|19200] [--name NAME] "
                   "[--notify ADDRESS]\n");

BridgeOptions exitWith(const QString& text, int code)
{
    BridgeOptions options;
    options.action = BridgeOptions::Action::Exit;
    options.text = text;
    options.exitCode = code;
    return options;
}

BridgeOptions usageError(const QString& message)
{
    return exitWith(QStringLiteral("orva-pjlink: ") + message + QLatin1Char('\n') + kUsage +
                        QStringLiteral("Try 'orva-pjlink --help' for more information.\n"),
                    2);
}

} // namespace

bool parseListen(const QString& text, QHostAddress* address, quint16* port)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^(?:\[([0-9A-Fa-f:.]+)\]|([0-9.]*|[0-9A-Fa-f:]*::[0-9A-Fa-f:]*))(?::([0-9]{1,5}))?$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch() || text.isEmpty())
        return false;
    const QString host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    QHostAddress parsed = QHostAddress::Any;
    if (!host.isEmpty() && !parsed.setAddress(host))
        return false;
    const int number = match.captured(3).isEmpty() ? 4352 : match.captured(3).toInt();
    if (number < 1 || number > 65535 || (host.isEmpty() && match.captured(3).isEmpty()))
        return false;
    *address = parsed;
    *port = quint16(number);
    return true;
}

QByteArray readPasswordFile(const QString& path, QString* error)
{
    struct stat facts {
    };
    QFile file(path);
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0 ||
        !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the password file %1").arg(path);
        return {};
    }
    // A password others can read protects nothing.
    if (facts.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) {
        *error = QStringLiteral("the password file %1 may be read or written by others: "
                                "chmod 600 it")
                     .arg(path);
        return {};
    }
    QByteArray password = file.readLine(256);
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    static const QRegularExpression form(QStringLiteral("^[!-~]{1,32}$"));
    if (!form.match(QString::fromLatin1(password)).hasMatch()) {
        *error = QStringLiteral("the password file %1 holds no PJLink password on its first "
                                "line (1 to 32 printable ASCII characters, no spaces)")
                     .arg(path);
        return {};
    }
    return password;
}

BridgeOptions parseBridgeCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes the ORVA MV-TR58 projector on a serial line a PJLink projector (class 1 and 2)\n"
        "for every control system on the network. The serial line is held only while there\n"
        "is PJLink work, so the panel and orva-control --send can use it too."));
    const auto [help, version] = commonOptions();
    const QCommandLineOption port(
        {QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("The projector's port, COM%1 to COM%2 (COM may be left out), as in the "
                       "panel, its ports/COMn map included.")
            .arg(kFirstPort)
            .arg(kLastPort),
        QStringLiteral("COMn"));
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Take PJLink connections and searches at ADDRESS:PORT (default: port "
                       "4352 on every address; [::1]:4352 for an IPv6 address)."),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("Ask controllers for the PJLink password on the first line of FILE, "
                       "which no one else may read."),
        QStringLiteral("FILE"));
    const QCommandLineOption noPassword(
        QStringLiteral("no-password"), QStringLiteral("Let any controller in without a password."));
    const QCommandLineOption rate({QStringLiteral("s"), QStringLiteral("rate")},
                                  QStringLiteral("9600 or 19200 bit/s (default 19200)."),
                                  QStringLiteral("RATE"));
    const QCommandLineOption name(
        QStringLiteral("name"),
        QStringLiteral("The projector's name as PJLink tells it (default: MV-TR58 COMn)."),
        QStringLiteral("NAME"));
    const QCommandLineOption notify(
        QStringLiteral("notify"),
        QStringLiteral("Send status notifications to ADDRESS too, besides each controller "
                       "that calls; may be given more than once."),
        QStringLiteral("ADDRESS"));
    parser.addOptions({help, version, port, listen, passwordFile, noPassword, rate, name, notify});

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return exitWith(kUsage + helpBody(parser), 0);
    if (parser.isSet(version))
        return exitWith(QStringLiteral("orva-pjlink " ORVA_VERSION "\n"), 0);
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    BridgeOptions options;
    if (!parser.isSet(port))
        return usageError(QStringLiteral("--port is needed: the projector's COM port"));
    const std::optional<qint16> portNo = portNumber(parser.value(port));
    if (!portNo)
        return usageError(portValueError(parser.value(port)));
    options.portNo = *portNo;
    if (parser.isSet(passwordFile) == parser.isSet(noPassword))
        return usageError(
            QStringLiteral("give either --password-file FILE or --no-password (not both)"));
    options.passwordFile = parser.value(passwordFile);
    if (parser.isSet(listen) && !parseListen(parser.value(listen), &options.address, &options.port))
        return usageError(QStringLiteral("--listen wants ADDRESS:PORT with a numeric address, "
                                         "not '%1'")
                              .arg(parser.value(listen)));
    if (parser.isSet(rate)) {
        const std::optional<quint8> code = rateCode(parser.value(rate));
        if (!code)
            return usageError(rateValueError(parser.value(rate)));
        options.baudCode = *code;
    }
    options.name = parser.isSet(name)
                       ? parser.value(name).toUtf8()
                       : QByteArray("MV-TR58 COM") + QByteArray::number(options.portNo);
    static const QRegularExpression nameForm(QStringLiteral("^[^\\x00-\\x1f\\x7f]{1,64}$"));
    if (parser.isSet(name) &&
        (options.name.size() > 64 || !nameForm.match(parser.value(name)).hasMatch()))
        return usageError(QStringLiteral("--name wants 1 to 64 bytes of text without control "
                                         "characters"));
    for (const QString& value : parser.values(notify)) {
        QHostAddress address;
        if (!address.setAddress(value))
            return usageError(
                QStringLiteral("--notify wants a numeric address, not '%1'").arg(value));
        options.notify << address;
    }
    return options;
}

} // namespace orva
