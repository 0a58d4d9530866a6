#include "clipboardserver.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/platform.h"

namespace tallic::tools {

namespace {

// Tallic takes an answer within seconds; serving it much longer helps nobody.
constexpr int ServeLimitMs = 2 * 60 * 1000;

} // namespace

ClipboardServer::ClipboardServer(QObject *parent)
    : QObject(parent)
{
    limit_.setSingleShot(true);
    limit_.setInterval(ServeLimitMs);
    connect(&limit_, &QTimer::timeout, this, &ClipboardServer::taken);
}

void ClipboardServer::serve(const QString &text, const QString &mark)
{
    served_ = text;
    QClipboard *clipboard = QGuiApplication::clipboard();
    auto *data = new QMimeData;
    data->setText(text);
    if (!mark.isEmpty())
        data->setData(QString::fromLatin1(LookupAnswerFormat), mark.toLatin1());
    clipboard->setMimeData(data);
    // Connected after the text is set, so that only another program's change counts.
    connect(clipboard, &QClipboard::dataChanged, this, &ClipboardServer::clipboardChanged,
            Qt::UniqueConnection);
    limit_.start();
}

QString ClipboardServer::startedMark()
{
    return qEnvironmentVariable(LookupMarkVariable);
}

void ClipboardServer::clipboardChanged()
{
    if (QGuiApplication::clipboard()->text() != served_) {
        limit_.stop();
        emit taken();
    }
}

} // namespace tallic::tools
