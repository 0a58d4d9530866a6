#include "clipboardserver.h"

#include <QClipboard>
#include <QGuiApplication>

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

void ClipboardServer::serve(const QString &text)
{
    served_ = text;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    // Connected after the text is set, so that only another program's change counts.
    connect(clipboard, &QClipboard::dataChanged, this, &ClipboardServer::clipboardChanged,
            Qt::UniqueConnection);
    limit_.start();
}

void ClipboardServer::clipboardChanged()
{
    if (QGuiApplication::clipboard()->text() != served_) {
        limit_.stop();
        emit taken();
    }
}

} // namespace tallic::tools
